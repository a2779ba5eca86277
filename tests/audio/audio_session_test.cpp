#include "audio/audio_session.h"

#include <gtest/gtest.h>
#include <voxline/voxline.h>

#include <algorithm>
#include <vector>

#include "audio/vxl_statistics.h"
#include "platform/sound/virtual_card_fixture.h"

namespace voxline::test {
namespace {

// The far end echoes every packet straight back.
struct loopback_hooks : tick_hooks {
    std::vector<uint8_t> pending;
    bool muted = false;
    bool digit = false;
    void send_packet(const uint8_t* pcm, uint32_t length) override {
        pending.assign(pcm, pcm + length);
    }
    void receive(audio_session& session) override {
        if (pending.empty()) return;
        session.push_decoded(pending.data());
        pending.clear();
    }
    bool mic_muted() override { return muted; }
    bool digit_playing() override { return digit; }
};

class AudioSession : public virtual_card_test_base {
  protected:
    // One 10 ms step of the card, then the tick it would cause.
    void run(audio_session& session, tick_hooks& hooks, int ticks) {
        for (int i = 0; i < ticks; ++i) {
            ASSERT_TRUE(virtual_card_test::run_ticks(1));
            session.tick(hooks);
        }
    }
};

TEST_F(AudioSession, MuteSilencesTheMicrophoneAndADigitDiscardsReceivedAudio) {
    select("mic=tone:1000,speaker=discard");
    audio_session session(10, 10, 160);
    ASSERT_EQ(session.open_audio_devices(false), 0);
    ASSERT_EQ(session.build_pipelines(), 0);
    session.start_capture();
    loopback_hooks hooks;
    hooks.muted = true;
    run(session, hooks, 20);
    std::vector<int16_t> played = speaker();
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](int16_t s) { return s == 0; }));

    hooks.muted = false;
    hooks.digit = true;
    const uint32_t missed_before = process_statistics().missed_pcm_output.load();
    run(session, hooks, 20);
    played = speaker();
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](int16_t s) { return s == 0; }));
    // Discarded while a digit plays, not counted missing.
    EXPECT_EQ(process_statistics().missed_pcm_output.load(), missed_before);

    hooks.digit = false;
    run(session, hooks, 20);
    played = speaker();
    EXPECT_TRUE(std::any_of(played.begin(), played.end(), [](int16_t s) { return s != 0; }));
}

TEST_F(AudioSession, NothingReceivedCountsMissedOutput) {
    select("mic=silence,speaker=discard");
    audio_session session(10, 10, 160);
    ASSERT_EQ(session.open_audio_devices(false), 0);
    tick_hooks idle;
    const uint32_t before = process_statistics().missed_pcm_output.load();
    session.tick(idle);  // no pipelines yet: nothing happens, nothing counted
    EXPECT_EQ(process_statistics().missed_pcm_output.load(), before);
    ASSERT_EQ(session.build_pipelines(), 0);
    session.start_capture();
    run(session, idle, 10);
    EXPECT_EQ(process_statistics().missed_pcm_output.load(), before + 10);
    // The close hands back the empty input buffers: no microphone audio was lost.
    const uint32_t full_before = process_statistics().pcm_full_input.load();
    session.close_pipelines();
    EXPECT_EQ(process_statistics().pcm_full_input.load(), full_before);
}

TEST_F(AudioSession, DeviceFailuresGiveTheirResultCodes) {
    struct row {
        const char* options;
        int32_t result;
    };
    const row rows[] = {
        {"fail=open", VXL_E_SOUND_NO_DEVICE},
        {"fail=duplex", VXL_E_SOUND_DEVICE},
        {"fail=busy:in", VXL_E_SOUND_INPUT_IN_USE},
        {"fail=format:in", VXL_E_SOUND_BAD_FORMAT},
        {"fail=busy:out", VXL_E_SOUND_OUTPUT_IN_USE},
        {"fail=format:out", VXL_E_SOUND_OUTPUT_BAD_FORMAT},
    };
    for (const row& r : rows) {
        select(r.options, false);
        audio_session session(10, 10, 160);
        EXPECT_EQ(session.open_audio_devices(false), r.result) << r.options;
        EXPECT_FALSE(session.devices_open()) << r.options;
    }
}

}  // namespace
}  // namespace voxline::test
