#include <gtest/gtest.h>

#include "audio/audio_sizes.h"
#include "audio/output_trim.h"

namespace voxline::test {
namespace {

TEST(AudioSizes, FollowTheInputPeriodAndThePacket) {
    struct row {
        int32_t min_input_ms;
        uint32_t packet_ms, pcm_bytes;
        uint32_t period, in_bytes, in_count, per_push, in_depth, out_per_push, out_depth;
    };
    const row rows[] = {
        // 15 ms rounds up to 20: 125 buffers of 320 bytes, depth 8 pushes of 2.
        {15, 10, 160, 20, 320, 125, 2, 8, 1, 15},
        // G.729 with two frames a packet: pushes of 2 elements, depth 8.
        {10, 20, 320, 10, 160, 250, 1, 15, 2, 8},
        // Periods outside 10..1000 ms are held inside it.
        {0, 30, 480, 10, 160, 250, 1, 15, 3, 5},
        {-5, 30, 480, 10, 160, 250, 1, 15, 3, 5},
        {5000, 60, 960, 1000, 16000, 3, 100, 3, 6, 3},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.min_input_ms);
        const audio_sizes z = compute_audio_sizes(r.min_input_ms, r.packet_ms, r.pcm_bytes);
        EXPECT_EQ(z.input_period_ms, r.period);
        EXPECT_EQ(z.input_buffer_bytes, r.in_bytes);
        EXPECT_EQ(z.input_buffer_count, r.in_count);
        EXPECT_EQ(z.input_elements_per_push, r.per_push);
        EXPECT_EQ(z.input_queue_depth, r.in_depth);
        EXPECT_EQ(z.output_buffer_count, 30u);
        EXPECT_EQ(z.output_buffer_bytes, 160u);
        EXPECT_EQ(z.output_elements_per_push, r.out_per_push);
        EXPECT_EQ(z.output_queue_depth, r.out_depth);
    }
}

TEST(OutputTrim, SchedulesCutMoreAsTheDeviceQueueGrows) {
    struct row {
        trim_schedule schedule;
        uint32_t outstanding, multiplier, bytes;
    };
    const row rows[] = {
        {trim_schedule::A, 15, 1, 0},  {trim_schedule::A, 16, 1, 2},
        {trim_schedule::A, 20, 1, 10}, {trim_schedule::A, 21, 1, 12},
        {trim_schedule::A, 30, 1, 30}, {trim_schedule::A, 30, 5, 150},
        {trim_schedule::A, 20, 5, 10}, {trim_schedule::B, 21, 1, 0},
        {trim_schedule::B, 22, 1, 4},  {trim_schedule::B, 25, 1, 40},
        {trim_schedule::B, 30, 1, 80},
    };
    for (const row& r : rows) {
        EXPECT_EQ(trim_for(r.schedule, r.outstanding, r.multiplier), r.bytes)
            << "n=" << r.outstanding << " multiplier=" << r.multiplier;
    }
}

TEST(OutputTrim, ATrimAbove160BytesDropsTheElement) {
    output_trim trim(trim_schedule::B, 0);
    EXPECT_FALSE(trim.on_write(30, 0).drop);
    const trim_decision d = trim.on_write(50, 0);  // 8 x 50 - 160 = 240 bytes
    EXPECT_TRUE(d.drop);
    EXPECT_EQ(d.trim_bytes, 160u);
    EXPECT_EQ(trim.histogram(80), 1u);
    EXPECT_EQ(trim.histogram(40), 1u);
}

TEST(OutputTrim, HistogramCountsOnlyOnceTrimmingHasStarted) {
    output_trim trim(trim_schedule::A, 0);
    trim.on_write(10, 0);
    EXPECT_EQ(trim.histogram(0), 0u);
    trim.on_write(16, 0);
    trim.on_write(10, 0);
    EXPECT_EQ(trim.histogram(1), 1u);
    EXPECT_EQ(trim.histogram(0), 1u);
}

TEST(OutputTrim, ResetsAfterABurstAtMostOncePerTenSeconds) {
    const uint32_t start = 100000;
    output_trim trim(trim_schedule::A, start);
    int resets = 0, reset_at = 0;
    // Events 1 s apart after a quiet start: the first sets the count to 0, so
    // the 27th resets, and the 28th within the next 10 s does not.
    for (int event = 1; event <= 28; ++event) {
        if (trim.on_out_of_buffers(start + event * 1000)) {
            ++resets;
            reset_at = event;
        }
    }
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(reset_at, 27);
    EXPECT_EQ(trim.kill_samples_multiplier(), 2u);

    // Every new burst resets on its 27th event; the multiplier stops at 5.
    uint32_t now = start + 60000;
    for (int burst = 0; burst < 6; ++burst) {
        now += 20000;
        int event = 0;
        while (!trim.on_out_of_buffers(now)) {
            ++event;
            now += 500;
            ASSERT_LT(event, 40);
        }
        EXPECT_EQ(event + 1, 27);
    }
    EXPECT_EQ(trim.kill_samples_multiplier(), 5u);
}

}  // namespace
}  // namespace voxline::test
