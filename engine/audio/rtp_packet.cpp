#include "audio/rtp_packet.h"

#include <algorithm>
#include <cstring>

namespace voxline {
namespace {

constexpr uint8_t PROXY_PREFIX[] = {'P', 'R', 'O', 'X', 'Y', '_'};

bool is_proxy_text(const uint8_t* data, size_t length) {
    return length >= sizeof PROXY_PREFIX && memcmp(data, PROXY_PREFIX, sizeof PROXY_PREFIX) == 0;
}

}  // namespace

rtp_geometry compute_rtp_geometry(const codec_info& codec, uint32_t pack_count) {
    const uint32_t pack = pack_count > 0 ? pack_count : 1;
    rtp_geometry g{};
    g.packet_ms = codec.frame_ms * pack;
    g.payload_bytes = codec.encoded_frame_bytes * pack;
    g.packet_bytes = g.payload_bytes + RTP_HEADER_BYTES;
    g.short_packet_bytes = codec.short_frame_bytes ? codec.short_frame_bytes + RTP_HEADER_BYTES : 0;
    g.pcm_bytes = codec.decoded_frame_bytes * pack;
    g.timestamp_step = g.packet_ms * 8;
    g.bad_size_throttle = static_cast<uint16_t>(std::max<uint32_t>(250 / pack, 1));
    g.element_bytes = g.payload_bytes + 16;
    g.receive_bytes = std::max(RTP_RECEIVE_BYTES, g.packet_bytes + 1);
    return g;
}

rtp_datagram judge_rtp_datagram(const uint8_t* data, size_t length, const rtp_geometry& g) {
    rtp_datagram d{rtp_verdict::malformed, 0, nullptr, 0};
    if (length == 0) return d;
    if ((data[0] & 0xC0) != 0x80) {
        d.verdict =
            is_proxy_text(data, length) ? rtp_verdict::proxy_traffic : rtp_verdict::bad_version;
        return d;
    }
    if (length < RTP_HEADER_BYTES) return d;
    d.sequence = static_cast<uint16_t>(data[2] << 8 | data[3]);
    size_t end = length;
    if (data[0] & 0x20) {
        const uint8_t padding = data[length - 1];
        // A count of 0 or past the header would wrap the length.
        if (padding == 0 || padding > length - RTP_HEADER_BYTES) return d;
        end -= padding;
    }
    size_t start = RTP_HEADER_BYTES + size_t{4} * (data[0] & 0x0F);
    if (start > end) return d;
    if (data[0] & 0x10) {
        if (start + 4 > end) return d;
        const size_t words = static_cast<size_t>(data[start + 2] << 8 | data[start + 3]);
        start += 4 + 4 * words;
        if (start > end) return d;
    }
    d.payload = data + start;
    d.payload_bytes = static_cast<uint32_t>(end - start);
    const uint32_t size = d.payload_bytes + RTP_HEADER_BYTES;
    if (size == g.packet_bytes) {
        d.verdict = rtp_verdict::decode;
    } else if (size == RTP_HEADER_BYTES || size == g.short_packet_bytes) {
        d.verdict = rtp_verdict::silence;
    } else if (size > g.packet_bytes) {
        d.verdict = rtp_verdict::oversize;
    } else {
        d.verdict = rtp_verdict::suspect_short;
    }
    return d;
}

}  // namespace voxline
