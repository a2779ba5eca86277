#include "core/line_state.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

TEST(LineState, NamesWhatTheFlagsMean) {
    // in call, ringing, voice path, ring-back, releasing
    const std::pair<line_flags, const char*> rows[] = {
        {{false, false, false, false, false}, "idle"},
        {{false, false, false, false, true}, "releasing"},
        {{true, false, false, false, false}, "dialling"},
        {{true, false, false, false, true}, "dialling"},  // a new call during a release
        {{true, false, false, true, false}, "ringing out"},
        {{true, false, true, true, false}, "in call"},
        {{false, true, false, false, false}, "ringing in"},
        {{false, true, true, false, false}, "ringing in"},  // media before the answer
        {{true, true, true, false, false}, "in call"},      // answered
        {{false, false, true, false, false}, "in call"},    // media the call agent started
    };
    for (const auto& [flags, state] : rows)
        EXPECT_STREQ(line_state_name(derive_line_state(flags)), state)
            << flags.in_call << flags.ringing << flags.voice_path_active << flags.ring_back
            << flags.releasing;
}

}  // namespace
}  // namespace voxline::test
