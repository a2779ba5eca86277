#include "audio/rtp_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace voxline::test {
namespace {

TEST(RtpPacket, GeometryFollowsTheCodecAndPackCount) {
    struct row {
        vocoder_code codec;
        uint32_t pack, packet_ms, payload, short_packet, pcm, timestamp_step, throttle, receive;
    };
    const row rows[] = {
        {VOCODER_G711U, 2, 10, 80, 0, 160, 80, 125, 4096},
        {VOCODER_G711A, 4, 20, 160, 0, 320, 160, 62, 4096},
        {VOCODER_G729, 2, 20, 20, 0, 320, 160, 125, 4096},
        {VOCODER_G729, 4, 40, 40, 0, 640, 320, 62, 4096},
        {VOCODER_G723, 1, 30, 24, 16, 480, 240, 250, 4096},
        // N beyond 4096 still fits one whole packet and shows an oversize one.
        {VOCODER_G711U, 104, 520, 4160, 0, 8320, 4160, 2, 4173},
        {VOCODER_G723, 171, 5130, 4104, 16, 82080, 41040, 1, 4117},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.codec << " pack " << r.pack);
        const rtp_geometry g = compute_rtp_geometry(*find_codec(r.codec), r.pack);
        EXPECT_EQ(g.packet_ms, r.packet_ms);
        EXPECT_EQ(g.payload_bytes, r.payload);
        EXPECT_EQ(g.packet_bytes, r.payload + 12);
        EXPECT_EQ(g.short_packet_bytes, r.short_packet);
        EXPECT_EQ(g.pcm_bytes, r.pcm);
        EXPECT_EQ(g.timestamp_step, r.timestamp_step);
        EXPECT_EQ(g.bad_size_throttle, r.throttle);
        EXPECT_EQ(g.element_bytes, r.payload + 16);
        EXPECT_EQ(g.receive_bytes, r.receive);
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

std::vector<uint8_t> text(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(RtpPacket, JudgesReceivedDatagramsBySize) {
    // G.723.1, pack 1: N = 36 (24-byte payload), A = 16.
    const rtp_geometry g = compute_rtp_geometry(*find_codec(VOCODER_G723), 1);
    const std::vector<uint8_t> csrc2(8, 0xCC);
    const std::vector<uint8_t> extension = {0xBE, 0xDE, 0, 1, 9, 9, 9, 9};
    struct row {
        const char* name;
        std::vector<uint8_t> datagram;
        rtp_verdict verdict;
        uint32_t payload_bytes;
        size_t payload_offset;
    };
    const row rows[] = {
        {"N", packet(0x80, 24), rtp_verdict::decode, 24, 12},
        {"header only", packet(0x80, 0), rtp_verdict::silence, 0, 12},
        {"short frame", packet(0x80, 4), rtp_verdict::silence, 4, 12},
        {"N + 1", packet(0x80, 25), rtp_verdict::oversize, 25, 12},
        {"N - 1", packet(0x80, 23), rtp_verdict::suspect_short, 23, 12},
        {"over 4096", packet(0x80, 5000), rtp_verdict::oversize, 5000, 12},
        {"version 1", packet(0x40, 24), rtp_verdict::bad_version, 0, 0},
        {"relay text", text("PROXY_ACKALLOC 1"), rtp_verdict::proxy_traffic, 0, 0},
        {"short relay text", text("PROXY_"), rtp_verdict::proxy_traffic, 0, 0},
        {"almost relay text", text("PROXY"), rtp_verdict::bad_version, 0, 0},
        {"padded to N", packet(0xA0, 24, {}, {0, 0, 0, 4}), rtp_verdict::decode, 24, 12},
        {"padding 0", packet(0xA0, 24, {}, {0}), rtp_verdict::malformed, 0, 0},
        {"padding past the payload", packet(0xA0, 2, {}, {200}), rtp_verdict::malformed, 0, 0},
        {"padding eats the payload", packet(0xA0, 3, {}, {4}), rtp_verdict::silence, 0, 12},
        {"two CSRC", packet(0x82, 24, csrc2), rtp_verdict::decode, 24, 20},
        {"15 CSRC past the end", packet(0x8F, 24), rtp_verdict::malformed, 0, 0},
        {"extension", packet(0x90, 24, extension), rtp_verdict::decode, 24, 20},
        {"extension past the end", packet(0x90, 24, {0xBE, 0xDE, 0x40, 0}), rtp_verdict::malformed,
         0, 0},
        {"extension header cut", packet(0x90, 0, {0xBE, 0xDE}), rtp_verdict::malformed, 0, 0},
        {"CSRC, extension and padding",
         packet(0xB2, 24,
                [&] {
                    std::vector<uint8_t> m = csrc2;
                    m.insert(m.end(), extension.begin(), extension.end());
                    return m;
                }(),
                {0, 2}),
         rtp_verdict::decode, 24, 28},
        {"under 12", {0x80, 0, 0, 1, 0}, rtp_verdict::malformed, 0, 0},
        {"one byte", {0x80}, rtp_verdict::malformed, 0, 0},
        {"empty", {}, rtp_verdict::malformed, 0, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        const rtp_datagram d = judge_rtp_datagram(r.datagram.data(), r.datagram.size(), g);
        EXPECT_EQ(static_cast<int>(d.verdict), static_cast<int>(r.verdict));
        if (!rtp_is_kept(d.verdict) && d.verdict != rtp_verdict::oversize) continue;
        EXPECT_EQ(d.sequence, 0x1234);
        EXPECT_EQ(d.payload_bytes, r.payload_bytes);
        EXPECT_EQ(d.payload - r.datagram.data(), static_cast<ptrdiff_t>(r.payload_offset));
    }
}

}  // namespace
}  // namespace voxline::test
