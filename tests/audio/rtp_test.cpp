// Received datagrams judged, ordered, played; the session's socket.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "audio/jitter_buffer.h"
#include "audio/jitter_sizing.h"
#include "audio/rtp_packet.h"
#include "audio/rtp_receiver.h"
#include "audio/rtp_streamer.h"
#include "support/temp_home.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"
#include "vocoders/vocoder.h"

namespace voxline::test {
namespace {

TEST(RtpPacket, GeometryFollowsTheCodecAndPackCount) {
    // Packet ms, payload, short packet, PCM and timestamp step; one bad-size line per how many;
    // the receive buffer. The packet adds 12 bytes of header, the element 16.
    const std::pair<std::pair<vocoder_code, uint32_t>, std::vector<uint32_t>> rows[] = {
        {{VOCODER_G711U, 2}, {10, 80, 0, 160, 80, 125, 4096}},
        {{VOCODER_G711A, 4}, {20, 160, 0, 320, 160, 62, 4096}},
        {{VOCODER_G729, 2}, {20, 20, 0, 320, 160, 125, 4096}},
        {{VOCODER_G729, 4}, {40, 40, 0, 640, 320, 62, 4096}},
        {{VOCODER_G723, 1}, {30, 24, 16, 480, 240, 250, 4096}},
        // N beyond 4096 still fits one whole packet and shows an oversize one.
        {{VOCODER_G711U, 104}, {520, 4160, 0, 8320, 4160, 2, 4173}},
        {{VOCODER_G723, 171}, {5130, 4104, 16, 82080, 41040, 1, 4117}},
    };
    for (const auto& [in, want] : rows) {
        const rtp_geometry g = compute_rtp_geometry(*find_codec(in.first), in.second);
        EXPECT_EQ(
            (std::vector<uint32_t>{g.packet_ms, g.payload_bytes, g.short_packet_bytes, g.pcm_bytes,
                                   g.timestamp_step, g.bad_size_throttle, g.receive_bytes}),
            want)
            << in.first << " pack " << in.second;
        EXPECT_EQ(g.packet_bytes, g.payload_bytes + 12);
        EXPECT_EQ(g.element_bytes, g.payload_bytes + 16);
    }
}

// A version-2 datagram: header, payload bytes of 0x55, then trailing bytes.
std::vector<uint8_t> packet(uint8_t first, size_t payload, std::vector<uint8_t> middle = {},
                            std::vector<uint8_t> tail = {}) {
    std::vector<uint8_t> p = {first, 4, 0x12, 0x34, 0, 0, 0, 0, 1, 2, 3, 4};
    p.insert(p.end(), middle.begin(), middle.end());
    p.insert(p.end(), payload, 0x55);
    p.insert(p.end(), tail.begin(), tail.end());
    return p;
}

TEST(RtpPacket, JudgesReceivedDatagramsBySize) {
    auto text = [](std::string s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    // G.723.1, pack 1: N = 36 (24-byte payload), A = 16.
    const rtp_geometry g = compute_rtp_geometry(*find_codec(VOCODER_G723), 1);
    const std::vector<uint8_t> csrc2(8, 0xCC), extension = {0xBE, 0xDE, 0, 1, 9, 9, 9, 9};
    std::vector<uint8_t> both = csrc2;
    both.insert(both.end(), extension.begin(), extension.end());
    // Name, datagram, verdict, payload bytes and offset. A wrong version, a short header, CSRC or
    // padding past the end: end to end (RTP impairments).
    const std::tuple<const char*, std::vector<uint8_t>, rtp_verdict, uint32_t, ptrdiff_t> rows[] = {
        {"N", packet(0x80, 24), rtp_verdict::decode, 24, 12},
        {"header only", packet(0x80, 0), rtp_verdict::silence, 0, 12},
        {"short frame", packet(0x80, 4), rtp_verdict::silence, 4, 12},
        {"N + 1", packet(0x80, 25), rtp_verdict::oversize, 25, 12},
        {"N - 1", packet(0x80, 23), rtp_verdict::suspect_short, 23, 12},
        {"over 4096", packet(0x80, 5000), rtp_verdict::oversize, 5000, 12},
        {"relay text", text("PROXY_ACKALLOC 1"), rtp_verdict::proxy_traffic, 0, 0},
        {"short relay text", text("PROXY_"), rtp_verdict::proxy_traffic, 0, 0},
        {"almost relay text", text("PROXY"), rtp_verdict::bad_version, 0, 0},
        {"padded to N", packet(0xA0, 24, {}, {0, 0, 0, 4}), rtp_verdict::decode, 24, 12},
        {"padding eats the payload", packet(0xA0, 3, {}, {4}), rtp_verdict::silence, 0, 12},
        {"two CSRC", packet(0x82, 24, csrc2), rtp_verdict::decode, 24, 20},
        {"extension", packet(0x90, 24, extension), rtp_verdict::decode, 24, 20},
        {"long extension", packet(0x90, 24, {0xBE, 0xDE, 0x40, 0}), rtp_verdict::malformed, 0, 0},
        {"extension header cut", packet(0x90, 0, {0xBE, 0xDE}), rtp_verdict::malformed, 0, 0},
        {"CSRC, extension, padding", packet(0xB2, 24, both, {0, 2}), rtp_verdict::decode, 24, 28},
        {"one byte", {0x80}, rtp_verdict::malformed, 0, 0},
        {"empty", {}, rtp_verdict::malformed, 0, 0},
    };
    for (const auto& [name, datagram, verdict, payload_bytes, payload_offset] : rows) {
        SCOPED_TRACE(name);
        const rtp_datagram d = judge_rtp_datagram(datagram.data(), datagram.size(), g);
        EXPECT_EQ(static_cast<int>(d.verdict), static_cast<int>(verdict));
        if (!rtp_is_kept(d.verdict) && d.verdict != rtp_verdict::oversize) continue;
        EXPECT_EQ(std::tuple(d.sequence, d.payload_bytes, d.payload - datagram.data()),
                  std::tuple(uint16_t{0x1234}, payload_bytes, payload_offset));
    }
}

int64_t g_now_ms = 0;

struct recording_sink : decoded_sink {
    std::vector<std::vector<int16_t>> played;
    void push_decoded(const uint8_t* pcm) override {
        const auto* s = reinterpret_cast<const int16_t*>(pcm);
        played.emplace_back(s, s + 80);  // G.711 pack 2: 10 ms
    }
};

// G.711 mu-law, pack 2: N = 92, 80 payload bytes, 160 bytes of PCM per packet.
class RtpReceiver : public ::testing::Test {
  protected:
    void SetUp() override { log_reset_for_test(); }
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
    rtp_receiver receiver{geometry, *decoder, stats, [] { return g_now_ms; }};
    recording_sink sink;
};

// Counts of gaps, late and duplicate packets: end to end (RTP impairments). Here play and log.
TEST_F(RtpReceiver, GapLinesSilenceForShortPacketsAndThrottledBadPacketLines) {
    receiver.start(8, 1);
    for (uint16_t s : {100, 101, 105, 106}) deliver(s);  // the first packet starts a run
    EXPECT_EQ(std::tuple(stats.missed_rtp.load(), engine_log_count("Rx:"),
                         engine_log_count("Rx:00100-00101")),
              std::tuple(1u, size_t{1}, size_t{1}));
    deliver(107, 80, 0x80, 0x00);       // mu-law 0x00 is the loudest negative sample
    deliver(108, 79, 0x80, 0x00);       // one byte short: suspect, kept
    ASSERT_EQ(sink.played.size(), 6u);  // 80 samples each: 10 ms
    EXPECT_EQ(std::tuple(sink.played[4], sink.played[5], stats.bad_rx.load()),
              std::tuple(std::vector<int16_t>(80, -32124), std::vector<int16_t>(80, 0), 1u));
    sink.played.clear();

    // Pack 2: one line per 125 bad datagrams.
    for (int i = 0; i < 250; ++i) deliver(static_cast<uint16_t>(i), 81);
    EXPECT_EQ(stats.bad_rx.load(), 251u);
    EXPECT_EQ(engine_log_count("Received RTP packet of invalid size (expected size=80, received "
                               "size=81)"),
              2u);

    g_now_ms = 1000;
    for (int i = 0; i < 1000; ++i) deliver(1, 80, 0x40);
    EXPECT_EQ(stats.bad_rx.load(), 1251u);
    EXPECT_EQ(engine_log_count("incorrect RTP header version"), 1u);
    g_now_ms += 10000;
    deliver(1, 80, 0x40);
    EXPECT_EQ(engine_log_count("incorrect RTP header version) (999 more since)"), 1u);

    const std::string relay = "PROXY_ACKPROBE";
    receiver.handle(reinterpret_cast<const uint8_t*>(relay.data()), relay.size(), sink);
    EXPECT_EQ(stats.bad_rx.load(), 1252u) << "relay traffic is not counted";
    EXPECT_TRUE(sink.played.empty());
}

// The failures to open, each from its own loopback address (the RTP port is fixed).
TEST(RtpStreamer, ATakenPortFailsUnflaggedBehindANatWithoutDiscoveryFlagged) {
    set_process_local_ip("127.0.31.1");
    log_reset_for_test();
    udp_socket squatter("127.0.31.1", 3400);
    ASSERT_EQ(squatter.listen_socket(0), UDP_OK);
    uint32_t address = 0;
    int port = 0;
    bool error = true;
    rtp_streamer_t taken("", VOCODER_G711U, "", 0, 2, 10, 60, 40, false, false);
    taken.open_rtp_session("127.0.0.1", 2427, false, 0, &address, &port, &error);
    EXPECT_EQ(std::tuple(port, error, taken.is_open()), std::tuple(-1, false, false));

    set_process_local_ip("127.0.31.3");
    for (const char* proxy : {"", "127.0.31.9"}) {
        rtp_streamer_t s("", VOCODER_G711U, proxy, 5060, 2, 10, 60, 40, false, false);
        port = 0, error = false;
        s.open_rtp_session("127.0.0.1", 2427, true, 0, &address, &port, &error);
        EXPECT_EQ(std::tuple(port, error, s.is_open()), std::tuple(-1, true, false)) << proxy;
    }
    for (const char* line :
         {"Open local RTP port to 127.0.31.1:3400 failed (rc=",
          "Unable to find suitable local RTP port (searched 3400..3400)",
          "We are behind a NAT and unable to get NAT information from call agent.",
          "We are behind a NAT but unable to allocate a proxy port."})
        EXPECT_EQ(engine_log_count(line), 1u) << line;
}

constexpr int NO = -1;  // nothing played

struct ordering_case {
    uint32_t threshold;
    std::vector<uint16_t> arrivals;
    std::vector<int> released;  // per arrival: the sequence number played, or NO
    std::vector<uint16_t> held;
    uint32_t late, duplicates;
};

TEST(JitterBuffer, ReleasesInSequenceOrder) {
    const ordering_case cases[] = {
        {1, {5, 3, 3, 7}, {5, 3, 3, 7}, {}, 0, 0},  // threshold 1 plays on arrival
        {3, {10, 12, 11}, {NO, NO, 10}, {11, 12}, 0, 0},
        {3, {10, 12, 11, 10}, {NO, NO, 10, 10}, {11, 12}, 1, 0},  // older than held: late
        {3, {10, 12, 11, 12}, {NO, NO, 10, 11}, {12}, 0, 1},
        {4, {5, 5, 6, 7, 8}, {NO, NO, NO, NO, 5}, {6, 7, 8}, 0, 1},
        {3, {20, 18, 19}, {NO, NO, 18}, {19, 20}, 0, 0},
        {5, {65534, 0, 65535, 1, 2, 3, 4}, {NO, NO, NO, NO, 65534, 65535, 0}, {1, 2, 3, 4}, 0, 0},
        {3, {0, 1, 2, 65535}, {NO, NO, 0, 65535}, {1, 2}, 1, 0},
        {4, {1, 4, 2, 3, 5}, {NO, NO, NO, 1, 2}, {3, 4, 5}, 0, 0},
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
            EXPECT_EQ(played ? played->sequence : NO, c.released[i]) << "arrival " << i;
            if (played) jb.return_node(played);
        }
        std::vector<uint16_t> held;
        for (const jb_node* n = jb.head(); n != nullptr; n = n->next) {
            EXPECT_TRUE(!n->next || n->next->prev == n) << n->sequence;
            held.push_back(n->sequence);
        }
        EXPECT_EQ(
            std::tuple(held, size_t{jb.count()}, stats.late_rtp.load(), stats.duplicate_rtp.load()),
            std::tuple(c.held, c.held.size(), c.late, c.duplicates));
    }
}

TEST(JitterBuffer, SizedFromMillisecondsHasOneNodeBeyondTheCapacityAndReusesReturnedOnes) {
    for (auto [size, threshold, capacity] : {std::array{2u, 3u, 3u}, {5u, 2u, 5u}, {1u, 1u, 1u}}) {
        jitter_buffer jb(size, threshold, 40);
        EXPECT_EQ(jb.capacity(), capacity);
        std::vector<jb_node*> taken;
        while (jb_node* n = jb.take_free_node()) {
            std::fill(n->data, n->data + jb.data_size(), static_cast<uint8_t>(taken.size()));
            taken.push_back(n);
            ASSERT_LE(taken.size(), capacity + 1);
        }
        EXPECT_EQ(taken.size(), capacity + 1);
        for (size_t i = 0; i < taken.size(); ++i)
            EXPECT_EQ(taken[i]->data[jb.data_size() - 1], i) << "node data areas overlap";
        jb.return_node(taken.back());
        EXPECT_EQ(jb.take_free_node(), taken.back());
        EXPECT_EQ(jb.take_free_node(), nullptr);
    }

    // Size and threshold in ms, packet ms: threshold, size, hold count and capacity in packets.
    const int32_t cases[][7] = {
        {60, 40, 20, 2, 3, 1, 3},  {0, 0, 20, 1, 1, 0, 1},    {50, 90, 30, 3, 3, 2, 3},
        {100, 45, 20, 3, 5, 2, 5}, {-10, -5, 10, 1, 1, 0, 1}, {1, 1, 40, 1, 1, 0, 1},
        {200, 60, 30, 2, 7, 1, 7}, {20, 21, 10, 3, 3, 2, 3},  {10, 10, 0, 10, 10, 9, 10},
    };
    for (const auto& c : cases) {
        const jitter_sizing s = compute_jitter_sizing(c[0], c[1], uint32_t(c[2]));
        EXPECT_EQ((std::vector<int64_t>{s.threshold, s.size, s.hold_count, s.capacity}),
                  (std::vector<int64_t>{c[3], c[4], c[5], c[6]}))
            << c[0] << "/" << c[1] << " ms at " << c[2] << " ms";
    }
}

}  // namespace
}  // namespace voxline::test
