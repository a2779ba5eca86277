#include "audio/jitter_sizing.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

TEST(JitterSizing, FromMilliseconds) {
    struct sizing_case {
        int32_t size_ms, threshold_ms;
        uint32_t packet_ms;
        uint32_t threshold, size, hold, capacity;
    };
    const sizing_case cases[] = {
        {60, 40, 20, 2, 3, 1, 3},  {0, 0, 20, 1, 1, 0, 1},    {50, 90, 30, 3, 3, 2, 3},
        {100, 45, 20, 3, 5, 2, 5}, {-10, -5, 10, 1, 1, 0, 1}, {1, 1, 40, 1, 1, 0, 1},
        {200, 60, 30, 2, 7, 1, 7}, {20, 21, 10, 3, 3, 2, 3},  {10, 10, 0, 10, 10, 9, 10},
    };
    for (const sizing_case& c : cases) {
        const jitter_sizing s = compute_jitter_sizing(c.size_ms, c.threshold_ms, c.packet_ms);
        SCOPED_TRACE(::testing::Message()
                     << c.size_ms << "/" << c.threshold_ms << " ms at " << c.packet_ms << " ms");
        EXPECT_EQ(s.threshold, c.threshold);
        EXPECT_EQ(s.size, c.size);
        EXPECT_EQ(s.hold_count, c.hold);
        EXPECT_EQ(s.capacity, c.capacity);
    }
}

}  // namespace
}  // namespace voxline::test
