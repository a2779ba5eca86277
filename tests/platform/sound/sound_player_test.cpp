#include "platform/sound/sound_player.h"

#include <gtest/gtest.h>

#include "platform/sound/wav_file.h"
#include "virtual_card_fixture.h"

namespace voxline::test {
namespace {

class SoundPlayer : public virtual_card_test_base {
  protected:
    std::vector<uint8_t> image(const std::vector<int16_t>& samples) {
        std::string error;
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(write_wav_file(m_home.file("sound.wav"), samples, error)) << error;
        EXPECT_TRUE(read_binary_file(m_home.file("sound.wav"), bytes, error)) << error;
        return bytes;
    }
};

TEST_F(SoundPlayer, PlaysTheImageThenFreesTheOutput) {
    select("fail=duplex");
    const std::vector<int16_t> digit = ramp(1, 400);  // 50 ms
    const std::vector<uint8_t> wav = image(digit);
    ASSERT_TRUE(play_sound_async(wav.data(), wav.size()));
    ASSERT_TRUE(virtual_card_test::run_ticks(8));
    EXPECT_EQ(speaker(), digit);
    // A half-duplex card takes an input only once the sound has let go of the output.
    done_log log;
    EXPECT_EQ(wave_in_close(open_in(log)), WAVE_OK);
}

TEST_F(SoundPlayer, ANewSoundCutsTheLast) {
    select("");
    const std::vector<int16_t> first = ramp(1, 8000), second = ramp(-2000, 160);
    const std::vector<uint8_t> first_wav = image(first), second_wav = image(second);
    ASSERT_TRUE(play_sound_async(first_wav.data(), first_wav.size()));
    ASSERT_TRUE(virtual_card_test::run_ticks(2));
    ASSERT_TRUE(play_sound_async(second_wav.data(), second_wav.size()));
    ASSERT_TRUE(virtual_card_test::run_ticks(5));
    std::vector<int16_t> expected(first.begin(), first.begin() + 160);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(speaker(), expected);
}

TEST_F(SoundPlayer, RefusesWhatItCannotPlay) {
    select("fail=busy:out");
    const std::vector<uint8_t> wav = image(ramp(1, 80));
    const uint8_t junk[] = "RIFF....WAVEfmt ";
    EXPECT_FALSE(play_sound_async(junk, sizeof junk));
    EXPECT_FALSE(play_sound_async(wav.data(), wav.size()));
}

}  // namespace
}  // namespace voxline::test
