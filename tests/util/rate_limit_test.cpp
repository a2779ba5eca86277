#include "util/rate_limit.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace voxline::test {
namespace {

int64_t g_now = 0;
int64_t fake_now() {
    return g_now;
}

TEST(RateLimit, OneReportPerKeyAndTenSecondsThenTheCount) {
    // At ms, key, admitted, count held back.
    const std::tuple<int64_t, uint64_t, bool, int> steps[] = {
        {0, 1, true, 0},       // the first goes through as it is
        {1, 1, false, 0},      // repeats within the window are counted
        {9999, 1, false, 0},   //
        {5000, 2, true, 0},    // another key has its own window
        {10000, 1, true, 2},   // ten seconds on: through, with the count
        {10001, 1, false, 0},  // and a new window starts
        {15000, 2, true, 0},   // nothing held back: no count
        {40000, 1, true, 1},   // a count waits however long it takes
        {50000, 1, true, 0},   //
        {50000 + 9999, 1, false, 0},
    };
    g_now = 0;
    rate_limit limit(10000, fake_now);
    for (const auto& [at_ms, key, admitted, count] : steps) {
        SCOPED_TRACE(std::to_string(at_ms) + " ms, key " + std::to_string(key));
        g_now = at_ms;
        int held_back = -1;
        EXPECT_EQ(limit.admit(key, &held_back), admitted);
        EXPECT_EQ(held_back, count);
    }
    // Many keys each get their first report, and the latest is remembered.
    int held_back = 0;
    for (uint64_t key = 100; key < 1100; ++key) EXPECT_TRUE(limit.admit(key, &held_back)) << key;
    EXPECT_FALSE(limit.admit(1099, &held_back));
}

}  // namespace
}  // namespace voxline::test
