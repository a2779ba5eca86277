#include "audio/digit_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_session.h"
#include "audio/call_media.h"
#include "platform/sound/virtual_card_fixture.h"
#include "support/temp_home.h"

namespace voxline::test {
namespace {

struct tick_record {
    int started = -1;  // digit index whose tone was written
    bool muted = false, playing = false;
    bool operator==(const tick_record&) const = default;
};

// One tick as the audio session runs it: start, the send path, the count-down.
tick_record tick(digit_player& player, const tone_images& images) {
    tick_record r;
    const tone_view tone = player.start_digit();
    for (int i = 0; i < DIGIT_TONE_COUNT && tone.data; ++i) {
        if (images.digit(i).data() + 58 == tone.data) r.started = i;
    }
    // The whole image in one write: 80 ms, the beep 100 ms.
    EXPECT_EQ(tone.length, r.started < 0 ? 0u : r.started == 16 ? 1600u : 1280u);
    r.muted = player.mic_muted();
    r.playing = player.digit_playing();
    player.count_down();
    return r;
}

TEST(DigitPlayer, DigitsStartEightyMillisecondsApartAndMuteHalfASecondPastTheLast) {
    const tone_images images;
    digit_player player(images);
    ASSERT_EQ(player.queue_digits("12#@"), 0);
    std::vector<int> starts;
    int muted = 0, last_muted = -1, playing = 0;
    for (int t = 0; t < 120; ++t) {
        const tick_record r = tick(player, images);
        if (r.started >= 0) starts.push_back(t);
        muted += r.muted;
        if (r.muted) last_muted = t;
        playing += r.playing;
    }
    EXPECT_EQ(starts, (std::vector<int>{0, 8, 16, 24}));
    EXPECT_EQ(playing, 8 * 3 + 10);  // the beep ("@") plays 100 ms
    EXPECT_EQ(last_muted, 24 + 59);  // half a second after its end (580 ms for a digit)
    EXPECT_EQ(muted, last_muted + 1);
}

TEST(DigitPlayer, QueueRulesAndEnable) {
    temp_home home;
    const tone_images images;
    digit_player player(images);
    EXPECT_EQ(player.queue_digits("1x2"), 1);
    EXPECT_EQ(player.queued(), 2u);
    EXPECT_NE(home.read("vxl.log").find("Invalid DTMF digit (x)"), std::string::npos);
    EXPECT_EQ(tick(player, images).started, 1);

    player.clear();
    ASSERT_EQ(player.queue_digits(std::string(90, '5').c_str()), 0);
    EXPECT_EQ(player.queue_digits("0123456789"), 1);  // 100: refused whole
    EXPECT_EQ(player.queued(), 90u);
    EXPECT_NE(home.read("vxl.log").find("Digit queue overflow.  Ignored 0123456789"),
              std::string::npos);
    EXPECT_EQ(player.queue_digits("012345678"), 0);
    EXPECT_EQ(player.queued(), 99u);

    // A digit playing when the stream is enabled: all gone at once.
    EXPECT_EQ(tick(player, images).started, 5);
    player.clear();
    EXPECT_EQ(player.queued(), 0u);
    EXPECT_EQ(tick(player, images), tick_record{});
}

// The real tick, the far end echoing every packet: "1" and "2" follow each
// other directly, and the muted microphone sends silence meanwhile.
struct echoed_call : call_media {
    using call_media::call_media;
    std::vector<uint8_t> pending;
    void send_packet(const uint8_t* pcm, uint32_t length) override {
        pending.assign(pcm, pcm + length);
    }
    void receive(audio_session& session) override {
        if (!pending.empty()) session.push_decoded(pending.data());
        pending.clear();
    }
};

class DigitsInACall : public virtual_card_test_base {};

TEST_F(DigitsInACall, EachDigitReplacesEightyMillisecondsOfReceivedAudio) {
    select("mic=tone:1000,speaker=discard");
    audio_session session(10, 10, 160);
    ASSERT_EQ(session.open_audio_devices(false), 0);
    ASSERT_EQ(session.build_pipelines(), 0);
    session.start_capture();
    const tone_images images;
    echoed_call call(images);
    for (int t = 0; t < 40; ++t) {
        if (t == 10) {
            ASSERT_EQ(call.queue_digits("12"), 0);
        }
        ASSERT_TRUE(virtual_card_test::run_ticks(1));
        session.tick(call);
    }
    const std::vector<int16_t> played = speaker();
    std::vector<int16_t> expected(640 * 2 + 80, 0);
    std::memcpy(expected.data(), images.digit(1).data() + 58, 1280);
    std::memcpy(expected.data() + 640, images.digit(2).data() + 58, 1280);
    EXPECT_NE(std::search(played.begin(), played.end(), expected.begin(), expected.end()),
              played.end());
}

}  // namespace
}  // namespace voxline::test
