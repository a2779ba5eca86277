#include "audio/vxl_statistics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "test_home.h"

namespace voxline {
namespace {

// Sets every counter to a distinct value so that a swapped argument shows.
void fill_distinct(uint32_t start_tick) {
    reset_statistics(start_tick);
    vxl_statistics& s = process_statistics();
    s.failed_pings = 101;
    s.ping_latency = 102;
    s.output_full = 103;
    s.output_reset = 104;
    s.missed_pcm_input = 105;
    s.missed_pcm_output = 106;
    s.bad_rx = 107;
    s.rtp_tx = 108;
    s.rtp_rx = 109;
    s.jb_full = 110;
    s.late_rtp = 111;
    s.duplicate_rtp = 112;
    s.pcm_full_input = 113;
    s.pcm_full_output = 114;
    s.missed_rtp = 115;
}

std::string statistics_text() {
    char buffer[2048];
    uint32_t size = sizeof buffer;
    EXPECT_TRUE(get_statistics_string(buffer, &size));
    return buffer;
}

// "label = a/b" lines of the text, keyed by label.
std::map<std::string, std::string> lines_of(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) {
        at += 2;
        const size_t end = std::min(text.find("\r\n", at), text.size());
        const std::string line = text.substr(at, end - at);
        const size_t eq = line.find(" = ");
        if (eq != std::string::npos) {
            std::string label = line.substr(0, eq);
            label.erase(label.find_last_not_of(' ') + 1);
            out[label] = line.substr(eq + 3);
        }
    }
    return out;
}

TEST(Statistics, TextSizeRule) {
    struct size_case {
        uint32_t offered;
        bool written;
    };
    for (const size_case c : {size_case{0, false}, size_case{872, false}, size_case{873, true},
                              size_case{2048, true}}) {
        char buffer[2048];
        std::memset(buffer, 'x', sizeof buffer);
        uint32_t size = c.offered;
        EXPECT_EQ(get_statistics_string(buffer, &size), c.written) << c.offered;
        if (c.written) {
            EXPECT_EQ(size, c.offered);
            EXPECT_EQ(std::strncmp(buffer, "\r\n\r\nPing Latency", 16), 0);
        } else {
            EXPECT_EQ(size, 873u);
            EXPECT_EQ(buffer[0], 'x') << "nothing is written when the size is refused";
        }
    }
}

TEST(Statistics, TextAfterResetIsAllZero) {
    fill_distinct(5);
    reset_statistics(1234);
    EXPECT_EQ(statistics_text(),
              "\r\n\r\nPing Latency / Failure Count   = 0/0"
              "\r\nRTP Packets Sent/Received      = 0/0"
              "\r\nMissed RX RTP Packets          = 0"
              "\r\nJitter Buffer Full             = 0"
              "\r\nInvalid RTP Packets Received   = 0"
              "\r\nLate RTP Packets Received      = 0"
              "\r\nDuplicate RTP Packets Received = 0"
              "\r\nOut of output device buffers   = 0"
              "\r\nOutput device reset            = 0"
              "\r\nPCM input queue empty/full     = 0/0"
              "\r\nPCM output queue empty/full    = 0/0");
    EXPECT_EQ(snapshot_statistics().start_tick, 1234u);
}

TEST(Statistics, TextNamesEachCounterInItsPlace) {
    fill_distinct(0);
    const auto lines = lines_of(statistics_text());
    const std::map<std::string, std::string> expected = {
        {"Ping Latency / Failure Count", "102/101"},
        {"RTP Packets Sent/Received", "108/109"},
        {"Missed RX RTP Packets", "115"},
        {"Jitter Buffer Full", "110"},
        {"Invalid RTP Packets Received", "107"},
        {"Late RTP Packets Received", "111"},
        {"Duplicate RTP Packets Received", "112"},
        {"Out of output device buffers", "103"},
        {"Output device reset", "104"},
        {"PCM input queue empty/full", "105/113"},
        {"PCM output queue empty/full", "106/114"},
    };
    EXPECT_EQ(lines, expected);
}

TEST(Statistics, LargestCountersFitTheRequiredSize) {
    reset_statistics(0);
    vxl_statistics& s = process_statistics();
    for (std::atomic<uint32_t>* c :
         {&s.failed_pings, &s.ping_latency, &s.rtp_tx, &s.rtp_rx, &s.missed_rtp, &s.jb_full,
          &s.bad_rx, &s.late_rtp, &s.duplicate_rtp, &s.output_full, &s.output_reset,
          &s.missed_pcm_input, &s.pcm_full_input, &s.missed_pcm_output, &s.pcm_full_output})
        *c = 0xFFFFFFFFu;
    char buffer[873];
    uint32_t size = sizeof buffer;
    ASSERT_TRUE(get_statistics_string(buffer, &size));
    EXPECT_LT(std::strlen(buffer), sizeof buffer);
    EXPECT_NE(std::string(buffer).find("= 4294967295/4294967295"), std::string::npos);
}

TEST(Statistics, EndOfCallSummary) {
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
        EXPECT_NE(test::read_engine_log().find(expected), std::string::npos) << expected;
    }
}

}  // namespace
}  // namespace voxline
