#include "audio/audio_session.h"

#include <gtest/gtest.h>
#include <voxline/voxline.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/call_media.h"
#include "audio/vxl_statistics.h"
#include "platform/sound/virtual_card_fixture.h"

namespace voxline::test {
namespace {

// The far end echoes every packet straight back.
template <class hooks>
struct echoing : hooks {
    using hooks::hooks;
    std::vector<uint8_t> pending;
    void send_packet(const uint8_t* pcm, uint32_t length) override {
        pending.assign(pcm, pcm + length);
    }
    void receive(audio_session& session) override {
        if (!pending.empty()) session.push_decoded(pending.data());
        pending.clear();
    }
};

struct scripted_hooks : echoing<tick_hooks> {
    bool muted = false, digit = false;
    bool mic_muted() override { return muted; }
    bool digit_playing() override { return digit; }
};

class AudioSession : public virtual_card_test_base {
  protected:
    void start() {
        select("mic=tone:1000,speaker=discard");
        ASSERT_EQ(session.open_audio_devices(false), 0);
        ASSERT_EQ(session.build_pipelines(), 0);
        session.start_capture();
    }
    void TearDown() override {
        session.close_pipelines();
        session.close_devices();
        virtual_card_test_base::TearDown();
    }
    // Ticks of the card, each followed by the session's.
    void run(tick_hooks& hooks, int ticks) {
        for (int i = 0; i < ticks; ++i) {
            EXPECT_TRUE(virtual_card_test::run_ticks(1));
            session.tick(hooks);
        }
    }
    bool silent_after(tick_hooks& hooks, int ticks) {  // true if the speaker stayed silent
        run(hooks, ticks);
        const std::vector<int16_t> played = speaker();
        return std::all_of(played.begin(), played.end(), [](int16_t s) { return s == 0; });
    }
    audio_session session{10, 10, 160};
};

TEST_F(AudioSession, MuteSilencesADigitDiscardsUncountedAndNothingReceivedCountsMissed) {
    start();
    std::atomic<uint32_t>& missed = process_statistics().missed_pcm_output;
    scripted_hooks hooks;
    hooks.muted = true;
    EXPECT_TRUE(silent_after(hooks, 20));
    hooks.muted = false;
    hooks.digit = true;
    const uint32_t missed_before = missed.load();
    EXPECT_TRUE(silent_after(hooks, 20));
    EXPECT_EQ(missed.load(), missed_before);
    hooks.digit = false;
    EXPECT_FALSE(silent_after(hooks, 20));

    tick_hooks idle;
    const uint32_t idle_before = missed.load();
    run(idle, 10);
    EXPECT_EQ(missed.load(), idle_before + 10);
    // The close hands back the empty input buffers: no microphone audio was lost.
    const uint32_t full_before = process_statistics().pcm_full_input.load();
    session.close_pipelines();
    EXPECT_EQ(process_statistics().pcm_full_input.load(), full_before);
}

// The real tick: "1" and "2" follow each other directly, each replacing 80 ms of received audio,
// and the muted microphone sends silence meanwhile.
TEST_F(AudioSession, EachDigitReplacesEightyMillisecondsOfReceivedAudio) {
    start();
    const tone_images images;
    echoing<call_media> call(images);
    run(call, 10);
    ASSERT_EQ(call.queue_digits("12"), 0);
    run(call, 30);
    const std::vector<int16_t> played = speaker();
    std::vector<int16_t> expected(640 * 2 + 80, 0);
    std::memcpy(expected.data(), images.digit(1).data() + 58, 1280);
    std::memcpy(expected.data() + 640, images.digit(2).data() + 58, 1280);
    EXPECT_NE(std::search(played.begin(), played.end(), expected.begin(), expected.end()),
              played.end());
}

// The input's failures and a missing device are reported end to end (the sound devices module).
TEST_F(AudioSession, OutputFailuresGiveTheirResultCodes) {
    for (auto [options, result] : {std::pair{"fail=busy:out", VXL_E_SOUND_OUTPUT_IN_USE},
                                   {"fail=format:out", VXL_E_SOUND_OUTPUT_BAD_FORMAT}}) {
        select(options, false);
        audio_session failing(10, 10, 160);
        EXPECT_EQ(failing.open_audio_devices(false), result) << options;
        EXPECT_FALSE(failing.devices_open()) << options;
    }
}

}  // namespace
}  // namespace voxline::test
