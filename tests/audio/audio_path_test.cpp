// The audio path's sizes, queues, trims, level meter and counters.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "audio/audio_sizes.h"
#include "audio/mic_level_meter.h"
#include "audio/output_trim.h"
#include "audio/pcm_queue.h"
#include "audio/vxl_statistics.h"
#include "support/temp_home.h"  // the queue logs its size

namespace voxline::test {
namespace {

TEST(AudioSizes, FollowTheInputPeriodAndThePacket) {
    // Input period, buffer bytes and count, elements per push and queue depth; then the output's
    // buffer count and bytes, elements per push and queue depth.
    const std::pair<std::tuple<int32_t, uint32_t, uint32_t>, std::vector<uint32_t>> rows[] = {
        // 15 ms rounds up to 20: 125 buffers of 320 bytes, depth 8 pushes of 2.
        {{15, 10, 160}, {20, 320, 125, 2, 8, 30, 160, 1, 15}},
        // G.729 with two frames a packet: pushes of 2 elements, depth 8.
        {{10, 20, 320}, {10, 160, 250, 1, 15, 30, 160, 2, 8}},
        // Periods outside 10..1000 ms are held inside it.
        {{0, 30, 480}, {10, 160, 250, 1, 15, 30, 160, 3, 5}},
        {{-5, 30, 480}, {10, 160, 250, 1, 15, 30, 160, 3, 5}},
        {{5000, 60, 960}, {1000, 16000, 3, 100, 3, 30, 160, 6, 3}},
    };
    for (const auto& [in, want] : rows) {
        const auto [min_input_ms, packet_ms, pcm_bytes] = in;
        const audio_sizes z = compute_audio_sizes(min_input_ms, packet_ms, pcm_bytes);
        EXPECT_EQ((std::vector<uint32_t>{
                      z.input_period_ms, z.input_buffer_bytes, z.input_buffer_count,
                      z.input_elements_per_push, z.input_queue_depth, z.output_buffer_count,
                      z.output_buffer_bytes, z.output_elements_per_push, z.output_queue_depth}),
                  want)
            << min_input_ms;
    }
}

TEST(OutputTrim, SchedulesCutMoreAsTheDeviceQueueGrowsAndCountTheirTrims) {
    constexpr auto A = trim_schedule::A, B = trim_schedule::B;
    const std::tuple<trim_schedule, uint32_t, uint32_t, uint32_t> rows[] = {
        {A, 15, 1, 0},  {A, 16, 1, 2},   {A, 20, 1, 10}, {A, 21, 1, 12},
        {A, 30, 1, 30}, {A, 30, 5, 150}, {A, 20, 5, 10}, {B, 21, 1, 0},
        {B, 22, 1, 4},  {B, 25, 1, 40},  {B, 30, 1, 80},
    };
    for (auto [schedule, outstanding, multiplier, bytes] : rows)
        EXPECT_EQ(trim_for(schedule, outstanding, multiplier), bytes)
            << outstanding << "x" << multiplier;
    // The histogram counts once trimming has started; a trim above 160 bytes drops the element.
    output_trim a(trim_schedule::A, 0), b(trim_schedule::B, 0);
    a.on_write(10, 0);
    EXPECT_EQ(a.histogram(0), 0u);
    a.on_write(16, 0);
    a.on_write(10, 0);
    EXPECT_EQ(std::pair(a.histogram(1), a.histogram(0)), std::pair(1u, 1u));
    EXPECT_FALSE(b.on_write(30, 0).drop);
    const trim_decision d = b.on_write(50, 0);  // 8 x 50 - 160 = 240 bytes
    EXPECT_EQ(std::pair(d.drop, d.trim_bytes), std::pair(true, 160u));
    EXPECT_EQ(std::pair(b.histogram(80), b.histogram(40)), std::pair(1u, 1u));
}

TEST(OutputTrim, ResetsAfterABurstAtMostOncePerTenSeconds) {
    const uint32_t start = 100000;
    output_trim trim(trim_schedule::A, start);
    int resets = 0, reset_at = 0;
    // Events 1 s apart: the 27th resets, the 28th within the next 10 s does not.
    for (int event = 1; event <= 28; ++event) {
        if (trim.on_out_of_buffers(start + event * 1000)) {
            ++resets;
            reset_at = event;
        }
    }
    EXPECT_EQ(std::pair(resets, reset_at), std::pair(1, 27));
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

// Order across wraps is heard end to end (the RTP audio module).
TEST(PcmQueue, DepthThreeTwoPerPushTakesThreePushesAndNeedsTwoPopsForTheNext) {
    pcm_queue q(160, 2, 3);
    EXPECT_EQ(q.capacity(), 6u);
    const std::vector<uint8_t> block(q.bytes_per_push());
    std::vector<uint8_t> element(160, 0xAB);
    EXPECT_FALSE(q.pop(element.data()));
    EXPECT_EQ(element[0], 0xAB) << "an empty pop wrote";
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.push(block.data())) << "push " << i;
    EXPECT_FALSE(q.push(block.data()));
    EXPECT_TRUE(q.pop(element.data()));
    EXPECT_FALSE(q.push(block.data())) << "one free element is not room for a push";
    EXPECT_TRUE(q.pop(element.data()));
    EXPECT_TRUE(q.push(block.data()));
    EXPECT_EQ(q.held(), 6u);
}

// Reports from `buffers` 10 ms buffers of a square wave of the given amplitude.
std::vector<int32_t> levels_for(mic_level_meter& meter, int16_t amplitude, int buffers) {
    std::vector<int16_t> samples(80);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i % 2 ? amplitude : -amplitude);
    std::vector<int32_t> reported;
    for (int b = 0; b < buffers; ++b) {
        if (auto level = meter.add_buffer(samples.data(), samples.size()))
            reported.push_back(*level);
    }
    return reported;
}

// Once-per-change reports of whole recordings: end to end (sound devices).
TEST(MicLevel, AmplitudesMapToTheLevelScaleAndTheLoudestBufferOfA110MsWindowCounts) {
    const std::pair<int64_t, int32_t> rows[] = {
        {0, 0},      {99, 0},     {2000, 20},   {4000, 40},   {4001, 40},
        {10000, 55}, {27499, 99}, {27500, 100}, {32768, 100},
    };
    for (auto [amplitude, level] : rows)
        EXPECT_EQ(mic_level_for_amplitude(amplitude), level) << amplitude;
    mic_level_meter meter;
    EXPECT_TRUE(levels_for(meter, 0, 5).empty());
    EXPECT_TRUE(levels_for(meter, 10000, 1).empty());
    EXPECT_TRUE(levels_for(meter, 100, 4).empty());
    EXPECT_EQ(levels_for(meter, 100, 1), std::vector<int32_t>{55});
    EXPECT_EQ(levels_for(meter, 0, 11), std::vector<int32_t>{0});
}

// In the record's order.
std::atomic<uint32_t>* const k_counters[] = {
    &process_statistics().failed_pings,     &process_statistics().ping_latency,
    &process_statistics().output_full,      &process_statistics().output_reset,
    &process_statistics().missed_pcm_input, &process_statistics().missed_pcm_output,
    &process_statistics().bad_rx,           &process_statistics().rtp_tx,
    &process_statistics().rtp_rx,           &process_statistics().jb_full,
    &process_statistics().late_rtp,         &process_statistics().duplicate_rtp,
    &process_statistics().pcm_full_input,   &process_statistics().pcm_full_output,
    &process_statistics().missed_rtp,
};

// 101, 102, ... in the record's order, so that a swapped argument shows.
void fill_distinct(uint32_t start_tick) {
    reset_statistics(start_tick);
    uint32_t value = 101;
    for (auto* counter : k_counters) *counter = value++;
}

TEST(Statistics, TextNamesEachCounterInItsPlaceResetClearsThemAndTheSizeIsChecked) {
    auto statistics_text = [] {
        char buffer[2048];
        uint32_t size = sizeof buffer;
        EXPECT_TRUE(get_statistics_string(buffer, &size));
        return std::string(buffer);
    };
    fill_distinct(5);
    const std::string filled = statistics_text();
    EXPECT_EQ(filled,
              "\r\n\r\nPing Latency / Failure Count   = 102/101"
              "\r\nRTP Packets Sent/Received      = 108/109"
              "\r\nMissed RX RTP Packets          = 115"
              "\r\nJitter Buffer Full             = 110"
              "\r\nInvalid RTP Packets Received   = 107"
              "\r\nLate RTP Packets Received      = 111"
              "\r\nDuplicate RTP Packets Received = 112"
              "\r\nOut of output device buffers   = 103"
              "\r\nOutput device reset            = 104"
              "\r\nPCM input queue empty/full     = 105/113"
              "\r\nPCM output queue empty/full    = 106/114");
    reset_statistics(1234);
    EXPECT_EQ(statistics_text(), std::regex_replace(filled, std::regex("\\d+"), "0"));
    EXPECT_EQ(snapshot_statistics().start_tick, 1234u);
    // The caller must offer 873 bytes, which hold the largest counters.
    for (auto* counter : k_counters) *counter = 0xFFFFFFFFu;
    for (const uint32_t offered : {0u, 872u, 873u, 2048u}) {
        char buffer[2048];
        std::memset(buffer, 'x', sizeof buffer);
        uint32_t size = offered;
        const bool written = offered >= 873;
        EXPECT_EQ(get_statistics_string(buffer, &size), written) << offered;
        EXPECT_EQ(size, written ? offered : 873u);
        EXPECT_EQ(buffer[0] == 'x', !written) << "nothing is written when the size is refused";
        EXPECT_TRUE(!written || std::strlen(buffer) < 873u) << offered;
    }
}

TEST(Statistics, EndOfCallSummaryCountsTheDurationAcrossTheTickWrap) {
    for (auto [start, now, duration] : {std::tuple{1000u, 60900u, "Call duration=59 sec;"},
                                        {0xFFFFF000u, 0x1000u, "Call duration=8 sec;"}}) {
        fill_distinct(start);
        log_call_summary(now);
        const std::string expected =
            std::string(duration) +
            " Failed Pings=101, Ping Latency=102; Output Full/Reset=103/104; "
            "Missed PCM I/O=105/106; RTP Tx/Rx/Bad_Rx=108/109/107; PCM Full "
            "I/O=113/114; JB Full=110; Missed RTP Count=115; Late RTP "
            "Count=111; Duplicate RTP Count=112";
        EXPECT_NE(engine_log().find(expected), std::string::npos) << expected;
    }
}

}  // namespace
}  // namespace voxline::test
