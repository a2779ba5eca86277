#include "audio/jitter_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace voxline::test {
namespace {

constexpr int NONE = -1;

struct ordering_case {
    uint32_t threshold;
    std::vector<uint16_t> arrivals;
    std::vector<int> released;  // per arrival: the sequence number played, or NONE
    std::vector<uint16_t> held;
    uint32_t late, duplicates;
};

TEST(JitterBuffer, ReleasesInSequenceOrder) {
    const ordering_case cases[] = {
        {1, {5, 3, 3, 7}, {5, 3, 3, 7}, {}, 0, 0},  // threshold 1 plays on arrival
        {3, {10, 12, 11}, {NONE, NONE, 10}, {11, 12}, 0, 0},
        {3, {10, 12, 11, 10}, {NONE, NONE, 10, 10}, {11, 12}, 1, 0},  // older than held: late
        {3, {10, 12, 11, 12}, {NONE, NONE, 10, 11}, {12}, 0, 1},
        {4, {5, 5, 6, 7, 8}, {NONE, NONE, NONE, NONE, 5}, {6, 7, 8}, 0, 1},
        {3, {20, 18, 19}, {NONE, NONE, 18}, {19, 20}, 0, 0},
        {5,
         {65534, 0, 65535, 1, 2, 3, 4},
         {NONE, NONE, NONE, NONE, 65534, 65535, 0},
         {1, 2, 3, 4},
         0,
         0},
        {3, {0, 1, 2, 65535}, {NONE, NONE, 0, 65535}, {1, 2}, 1, 0},
        {4, {1, 4, 2, 3, 5}, {NONE, NONE, NONE, 1, 2}, {3, 4, 5}, 0, 0},
    };
    for (const ordering_case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arrivals));
        vxl_statistics stats;
        jitter_buffer jb(8, c.threshold, 16, stats);
        for (size_t i = 0; i < c.arrivals.size(); ++i) {
            jb_node* node = jb.take_free_node();
            ASSERT_NE(node, nullptr);
            node->sequence = c.arrivals[i];
            jb_node* played = jb.insert(node);
            EXPECT_EQ(played ? played->sequence : NONE, c.released[i]) << "arrival " << i;
            if (played) jb.return_node(played);
        }
        std::vector<uint16_t> held;
        for (const jb_node* n = jb.head(); n != nullptr; n = n->next) {
            if (n->next) {
                EXPECT_EQ(n->next->prev, n);
            }
            held.push_back(n->sequence);
        }
        EXPECT_EQ(held, c.held);
        EXPECT_EQ(jb.count(), c.held.size());
        EXPECT_EQ(stats.late_rtp.load(), c.late);
        EXPECT_EQ(stats.duplicate_rtp.load(), c.duplicates);
    }
}

TEST(JitterBuffer, HasOneNodeBeyondTheCapacityAndReusesReturnedNodes) {
    struct sizing {
        uint32_t size, threshold, capacity;
    };
    for (const sizing s : {sizing{2, 3, 3}, sizing{5, 2, 5}, sizing{1, 1, 1}}) {
        jitter_buffer jb(s.size, s.threshold, 40);
        EXPECT_EQ(jb.capacity(), s.capacity);
        std::vector<jb_node*> taken;
        while (jb_node* n = jb.take_free_node()) {
            std::fill(n->data, n->data + jb.data_size(), static_cast<uint8_t>(taken.size()));
            taken.push_back(n);
            ASSERT_LE(taken.size(), s.capacity + 1);
        }
        EXPECT_EQ(taken.size(), s.capacity + 1);
        for (size_t i = 0; i < taken.size(); ++i)
            EXPECT_EQ(taken[i]->data[jb.data_size() - 1], i) << "node data areas overlap";
        jb.return_node(taken.back());
        EXPECT_EQ(jb.take_free_node(), taken.back());
        EXPECT_EQ(jb.take_free_node(), nullptr);
    }
}

}  // namespace
}  // namespace voxline::test
