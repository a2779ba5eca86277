#include "audio/pcm_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_home.h"  // the queue logs its size

namespace voxline::test {
namespace {

std::vector<uint8_t> block_of(const pcm_queue& q, uint8_t first) {
    std::vector<uint8_t> b(q.bytes_per_push());
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(first + i / q.element_size());
    return b;
}

TEST(PcmQueue, DepthThreeTwoPerPushTakesThreePushesAndNeedsTwoPopsForTheNext) {
    pcm_queue q(160, 2, 3);
    EXPECT_EQ(q.capacity(), 6u);
    std::vector<uint8_t> element(160, 0xAB);
    EXPECT_FALSE(q.pop(element.data()));
    EXPECT_EQ(element[0], 0xAB) << "an empty pop wrote";
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.push(block_of(q, 0).data())) << "push " << i;
    EXPECT_FALSE(q.push(block_of(q, 0).data()));
    EXPECT_TRUE(q.pop(element.data()));
    EXPECT_FALSE(q.push(block_of(q, 0).data())) << "one free element is not room for a push";
    EXPECT_TRUE(q.pop(element.data()));
    EXPECT_TRUE(q.push(block_of(q, 0).data()));
    EXPECT_EQ(q.held(), 6u);
}

TEST(PcmQueue, ElementsComeOutInOrderAcrossManyWraps) {
    struct geometry {
        uint32_t per_push, depth;
    };
    for (const geometry g : {geometry{1, 3}, geometry{2, 3}, geometry{2, 8}, geometry{4, 3}}) {
        pcm_queue q(160, g.per_push, g.depth);
        std::vector<uint8_t> element(160);
        uint8_t next_in = 0, next_out = 0;
        for (int round = 0; round < 50; ++round) {
            while (q.push(block_of(q, next_in).data())) next_in += static_cast<uint8_t>(g.per_push);
            // Drain part of it so that reads and writes wrap at different points.
            for (uint32_t k = 0; k < g.per_push + round % 3 && q.pop(element.data()); ++k) {
                ASSERT_EQ(element.front(), next_out) << g.per_push << "x" << g.depth;
                ASSERT_EQ(element.back(), next_out);
                ++next_out;
            }
        }
    }
}

}  // namespace
}  // namespace voxline::test
