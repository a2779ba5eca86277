#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/sound/periodic_schedule.h"
#include "platform/sound/periodic_timer.h"
#include "platform/sound/thread_message_queue.h"

namespace voxline::test {
namespace {

TEST(PeriodicSchedule, LateWakesCatchUpAtMostTenTicks) {
    // now, ticks run, next deadline; the tick is due at 100 every 10.
    const int64_t rows[][3] = {
        {95, 0, 100},   {100, 1, 110}, {109, 1, 110}, {130, 4, 140},  // three ticks late
        {200, 11, 210},                                               // ten late: all run
        {600, 11, 610},  // fifty late: ten run, the rest skipped, the phase kept
    };
    for (const auto& r : rows) {
        const periodic_step step = periodic_due(r[0], 100, 10, 10);
        EXPECT_EQ(step.ticks, r[1]) << r[0];
        EXPECT_EQ(step.next_deadline, r[2]) << r[0];
    }
}

// The 10 ms rate itself is measured by bench/audio (timer_lateness_60s).
TEST(PeriodicTimer, RefusesBadStartsTicksAndPostsNothingAfterStop) {
    thread_message_queue queue(1024);
    periodic_timer timer;
    ASSERT_TRUE(timer.start(10, [&] { queue.post({10000, 0, 0}); }));
    EXPECT_FALSE(timer.start(10, [] {}));
    for (int period : {0, 1001}) EXPECT_FALSE(periodic_timer().start(period, [] {})) << period;
    EXPECT_FALSE(periodic_timer().start(10, nullptr));
    thread_message message;
    for (int tick = 0; tick < 3; ++tick) ASSERT_TRUE(queue.get(message, 1000)) << tick;
    timer.stop();
    EXPECT_FALSE(timer.running());
    while (queue.peek(message, true)) {
    }
    EXPECT_FALSE(queue.get(message, 50));
}

TEST(ThreadMessageQueue, FullRingRefusesAndOrderIsKept) {
    thread_message_queue queue(4);
    for (uint32_t id = 1; id <= 4; ++id) EXPECT_TRUE(queue.post({id, id * 10, 0}));
    EXPECT_FALSE(queue.post({5, 0, 0}));
    thread_message message;
    ASSERT_TRUE(queue.peek(message, false));
    EXPECT_EQ(message.id, 1u);
    for (uint32_t id = 1; id <= 4; ++id) {
        ASSERT_TRUE(queue.get(message, 0));
        EXPECT_EQ(message.id, id);
        EXPECT_EQ(message.wparam, id * 10);
    }
    EXPECT_FALSE(queue.peek(message, false));
    EXPECT_FALSE(queue.get(message, 20));
    EXPECT_TRUE(queue.post({6, 0, 0}));
}

TEST(ThreadMessageQueue, ManyPostersLoseNothingTheRingHasRoomFor) {
    constexpr int k_posters = 4, k_each = 2000;
    thread_message_queue queue(k_posters * k_each);
    std::vector<std::thread> posters;
    for (int p = 0; p < k_posters; ++p)
        posters.emplace_back([&, p] {
            for (int i = 0; i < k_each; ++i)
                ASSERT_TRUE(queue.post({static_cast<uint32_t>(p), static_cast<uintptr_t>(i), 0}));
        });
    std::vector<int> next(k_posters, 0);
    thread_message message;
    for (int received = 0; received < k_posters * k_each; ++received) {
        ASSERT_TRUE(queue.get(message, 5000));
        // Each poster's messages arrive in the order it posted them.
        ASSERT_EQ(message.wparam, static_cast<uintptr_t>(next[message.id]++));
    }
    for (auto& t : posters) t.join();
    EXPECT_FALSE(queue.peek(message, true));
}

}  // namespace
}  // namespace voxline::test
