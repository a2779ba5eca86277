#include "core/line_state.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

TEST(LineState, NamesWhatTheFlagsMean) {
    struct row {
        bool in_call, ringing, voice, ring_back, releasing;
        const char* state;
    };
    const row rows[] = {
        {false, false, false, false, false, "idle"},
        {false, false, false, false, true, "releasing"},
        {true, false, false, false, false, "dialling"},
        {true, false, false, false, true, "dialling"},  // a new call during a release
        {true, false, false, true, false, "ringing out"},
        {true, false, true, true, false, "in call"},
        {false, true, false, false, false, "ringing in"},
        {false, true, true, false, false, "ringing in"},  // media before the answer
        {true, true, true, false, false, "in call"},      // answered
        {false, false, true, false, false, "in call"},    // media the call agent started
    };
    for (const row& r : rows) {
        line_flags flags;
        flags.in_call = r.in_call;
        flags.ringing = r.ringing;
        flags.voice_path_active = r.voice;
        flags.ring_back = r.ring_back;
        flags.releasing = r.releasing;
        EXPECT_STREQ(line_state_name(derive_line_state(flags)), r.state)
            << r.in_call << r.ringing << r.voice << r.ring_back << r.releasing;
    }
}

}  // namespace
}  // namespace voxline::test
