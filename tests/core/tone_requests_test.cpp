// The client's tone codes, played by the engine itself (no event interface), on a virtual card.
#include <gtest/gtest.h>
#include <voxline/voxline.h>

#include <cstring>
#include <vector>

#include "audio/rtp_streamer.h"
#include "core/call_control.h"
#include "core/tone_player.h"
#include "platform/sound/virtual_card_fixture.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

class ToneRequests : public virtual_card_test_base {
  protected:
    void start(const char* card) {
        select(card);
        log_reset_for_test();
        call_control_settings settings;
        settings.media_codec = 2;
        settings.input_ms = 20;
        control = new call_control(settings, nullptr, nullptr);
        media = control->media();
    }
    void TearDown() override {
        if (control) control->release();
        virtual_card_test_base::TearDown();
    }
    void request(int tone) { control->handle_call_progress_event(CPE_PLAY_TONE, tone); }
    // What the speaker plays over the next `ticks` ticks.
    std::vector<int16_t> play(int ticks) {
        speaker();
        EXPECT_TRUE(virtual_card_test::run_ticks(ticks));
        return speaker();
    }
    std::vector<int16_t> start_of(int index, int ticks) {
        std::vector<int16_t> out(80 * ticks);
        std::memcpy(out.data(), media->images().tone(index).data() + 58, 160 * ticks);
        return out;
    }

    call_control* control = nullptr;
    rtp_streamer_t* media = nullptr;
};

TEST_F(ToneRequests, EachCodePlaysItsToneFromTheStartOrNothing) {
    ASSERT_NO_FATAL_FAILURE(start("mic=silence,speaker=discard"));
    // Busy while ringing starts from its beginning; the rest play nothing.
    const struct {
        int tone, index;
        const char* line;
    } rows[] = {{VXL_TONE_RINGING, TONE_RINGING, nullptr},
                {VXL_TONE_BUSY, TONE_BUSY, nullptr},
                {VXL_TONE_ALERTING, TONE_ALERTING, nullptr},
                {VXL_TONE_REORDER, TONE_REORDER, nullptr},
                {VXL_TONE_DIALTONE, -1, "Not presenting dial tone."},
                {VXL_TONE_LOW_BALANCE_WARNING_TONE, -1, "Not playing low-balance warning tone."},
                {VXL_TONE_NONE, -1, nullptr},
                {42, -1, nullptr}};
    for (const auto& r : rows) {
        if (r.index < 0) request(VXL_TONE_BUSY);
        request(r.tone);
        // 400 ms: past the reorder tone's first 250 ms.
        EXPECT_EQ(play(40), r.index < 0 ? std::vector<int16_t>(3200, 0) : start_of(r.index, 40))
            << r.tone;
        EXPECT_TRUE(!r.line || engine_log_count(r.line) == 1) << r.line;
        EXPECT_EQ(control->current_tone(), r.tone);
    }
    // A stopped loop is not a finished one.
    EXPECT_FALSE(take_finished_tone(media));
    for (int index : {-1, 5}) EXPECT_FALSE(media->play_tone(index)) << index;
    EXPECT_EQ(std::pair(engine_log_count("Attempt to play invalid tone type (-1)"),
                        engine_log_count("Failed playing call progress tone")),
              std::pair(size_t{1}, size_t{0}));
}

TEST_F(ToneRequests, AToneThatPlayedOutIsRestarted) {
    ASSERT_NO_FATAL_FAILURE(start("mic=silence,speaker=discard"));
    for (bool stopped : {true, false}) {
        request(VXL_TONE_REORDER);
        play(1490);
        EXPECT_FALSE(take_finished_tone(media));
        play(20);                             // 30 loops of 0.5 s have played
        if (stopped) request(VXL_TONE_NONE);  // the tone is no longer wanted
        EXPECT_NE(take_finished_tone(media), stopped);
    }
    EXPECT_FALSE(take_finished_tone(media));                  // taken once
    play_call_progress_tone(media, control->current_tone());  // as the call thread does
    EXPECT_EQ(play(10), start_of(TONE_REORDER, 10));
}

TEST_F(ToneRequests, ARefusedOutputFailsTheRequest) {
    ASSERT_NO_FATAL_FAILURE(start("mic=silence,speaker=discard,fail=busy:out"));
    request(VXL_TONE_BUSY);
    EXPECT_EQ(engine_log_count("Failed playing call progress tone [busy]"), 1u);
}

}  // namespace
}  // namespace voxline::test
