#include "audio/rtp_receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_home.h"
#include "util/vxl_log.h"
#include "vocoders/vocoder.h"

namespace voxline::test {
namespace {

int64_t g_now_ms = 0;
int64_t fake_now() {
    return g_now_ms;
}

struct recording_sink : decoded_sink {
    uint32_t bytes;
    std::vector<std::vector<int16_t>> played;
    explicit recording_sink(uint32_t pcm_bytes) : bytes(pcm_bytes) {}
    void push_decoded(const uint8_t* pcm) override {
        const auto* s = reinterpret_cast<const int16_t*>(pcm);
        played.emplace_back(s, s + bytes / 2);
    }
};

// G.711 mu-law, pack 2: N = 92, 80 payload bytes, 160 bytes of PCM per packet.
class RtpReceiver : public ::testing::Test {
  protected:
    void SetUp() override { log_reset_for_test(); }
    void start(uint32_t threshold) { receiver.start(8, threshold); }
    void deliver(uint16_t sequence, size_t payload = 80, uint8_t first = 0x80,
                 uint8_t fill = 0x00) {
        const uint8_t high = sequence >> 8, low = sequence & 0xFF;
        std::vector<uint8_t> p = {first, 0, high, low, 0, 0, 0, 0, 9, 9, 9, 9};
        p.insert(p.end(), payload, fill);
        receiver.handle(p.data(), p.size(), sink);
    }

    temp_home home;
    rtp_geometry geometry = compute_rtp_geometry(*find_codec(VOCODER_G711U), 2);
    std::unique_ptr<vocoder_t> decoder = create_vocoder(VOCODER_G711U, 2);
    vxl_statistics stats;
    rtp_receiver receiver{geometry, *decoder, stats, fake_now};
    recording_sink sink{geometry.pcm_bytes};
};

TEST_F(RtpReceiver, CountsGapsLateAndDuplicatePacketsInPlayOrder) {
    struct row {
        uint32_t threshold;
        std::vector<uint16_t> arrivals;
        size_t played;
        uint32_t missed, late, duplicates;
        const char* gap_line;
    };
    const row rows[] = {
        // The first packet after an open starts a run: no gap, whatever its number.
        {1, {500, 501, 502}, 3, 0, 0, 0, nullptr},
        {1, {100, 101, 105, 106}, 4, 1, 0, 0, "Rx:00100-00101"},
        {1, {65534, 65535, 0, 1}, 4, 0, 0, 0, nullptr},
        // Threshold 1 plays in arrival order: a swap is two gaps.
        {1, {5, 7, 6}, 3, 2, 0, 0, "Rx:00005-00005"},
        {3, {10, 12, 11, 13}, 2, 0, 0, 0, nullptr},
        {3, {10, 12, 11, 10}, 2, 1, 1, 0, "Rx:00010-00010"},
        {3, {10, 12, 11, 12, 13}, 2, 0, 0, 1, nullptr},  // the copy of 12 leaves one held
    };
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.arrivals));
        const size_t log_start = engine_log().size();
        stats.missed_rtp = stats.late_rtp = stats.duplicate_rtp = 0;
        sink.played.clear();
        start(r.threshold);
        for (uint16_t s : r.arrivals) deliver(s);
        EXPECT_EQ(sink.played.size(), r.played);
        EXPECT_EQ(stats.missed_rtp.load(), r.missed);
        EXPECT_EQ(stats.late_rtp.load(), r.late);
        EXPECT_EQ(stats.duplicate_rtp.load(), r.duplicates);
        EXPECT_EQ(engine_log_count("Rx:", log_start), r.missed) << "one line per gap";
        if (r.gap_line) {
            EXPECT_EQ(engine_log_count(r.gap_line, log_start), 1u);
        }
    }
}

TEST_F(RtpReceiver, DecodesWholePacketsAndPlaysSilenceForShortOnes) {
    start(1);
    deliver(1, 80, 0x80, 0x00);  // mu-law 0x00 is the loudest negative sample
    deliver(2, 0);               // header only
    deliver(3, 79, 0x80, 0x00);  // one byte short: suspect, kept
    deliver(4, 81, 0x80, 0x00);  // one byte long: dropped
    ASSERT_EQ(sink.played.size(), 3u);
    EXPECT_EQ(sink.played[0], std::vector<int16_t>(80, -32124)) << "80 samples: 10 ms";
    EXPECT_EQ(sink.played[1], std::vector<int16_t>(80, 0));
    EXPECT_EQ(sink.played[2], std::vector<int16_t>(80, 0));
    EXPECT_EQ(stats.bad_rx.load(), 2u);
}

TEST_F(RtpReceiver, BadSizeLinesAreThrottledAndWrongVersionsReportedOncePer10s) {
    start(1);
    // Pack 2: one line per 125 bad datagrams.
    for (int i = 0; i < 250; ++i) deliver(static_cast<uint16_t>(i), 81);
    EXPECT_EQ(stats.bad_rx.load(), 250u);
    EXPECT_EQ(engine_log_count("Received RTP packet of invalid size (expected size=80, received "
                               "size=81)"),
              2u);

    g_now_ms = 1000;
    for (int i = 0; i < 1000; ++i) deliver(1, 80, 0x40);
    EXPECT_EQ(stats.bad_rx.load(), 1250u);
    EXPECT_EQ(engine_log_count("incorrect RTP header version"), 1u);
    g_now_ms += 10000;
    deliver(1, 80, 0x40);
    EXPECT_EQ(engine_log_count("incorrect RTP header version) (999 more since)"), 1u);

    const std::string relay = "PROXY_ACKPROBE";
    receiver.handle(reinterpret_cast<const uint8_t*>(relay.data()), relay.size(), sink);
    EXPECT_EQ(stats.bad_rx.load(), 1251u) << "relay traffic is not counted";
    EXPECT_TRUE(sink.played.empty());
}

}  // namespace
}  // namespace voxline::test
