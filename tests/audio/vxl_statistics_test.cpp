#include "audio/vxl_statistics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "support/temp_home.h"

namespace voxline::test {
namespace {

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

std::string statistics_text() {
    char buffer[2048];
    uint32_t size = sizeof buffer;
    EXPECT_TRUE(get_statistics_string(buffer, &size));
    return buffer;
}

TEST(Statistics, TextNamesEachCounterInItsPlaceAndResetClearsThem) {
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
}

TEST(Statistics, CallerMustOffer873BytesWhichHoldTheLargestCounters) {
    for (auto* counter : k_counters) *counter = 0xFFFFFFFFu;
    for (const uint32_t offered : {0u, 872u, 873u, 2048u}) {
        char buffer[2048];
        std::memset(buffer, 'x', sizeof buffer);
        uint32_t size = offered;
        const bool written = offered >= 873;
        EXPECT_EQ(get_statistics_string(buffer, &size), written) << offered;
        EXPECT_EQ(size, written ? offered : 873u);
        EXPECT_EQ(buffer[0] == 'x', !written) << "nothing is written when the size is refused";
        if (written) {
            EXPECT_LT(std::strlen(buffer), 873u);
        }
    }
}

TEST(Statistics, EndOfCallSummaryCountsTheDurationAcrossTheTickWrap) {
    struct summary_case {
        uint32_t start, now;
        const char* duration;
    };
    for (const summary_case c : {summary_case{1000, 60900, "Call duration=59 sec;"},
                                 summary_case{0xFFFFF000u, 0x1000u, "Call duration=8 sec;"}}) {
        fill_distinct(c.start);
        log_call_summary(c.now);
        const std::string expected =
            std::string(c.duration) +
            " Failed Pings=101, Ping Latency=102; Output Full/Reset=103/104; "
            "Missed PCM I/O=105/106; RTP Tx/Rx/Bad_Rx=108/109/107; PCM Full "
            "I/O=113/114; JB Full=110; Missed RTP Count=115; Late RTP "
            "Count=111; Duplicate RTP Count=112";
        EXPECT_NE(engine_log().find(expected), std::string::npos) << expected;
    }
}

}  // namespace
}  // namespace voxline::test
