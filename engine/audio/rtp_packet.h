// The RTP packet geometry of one session and the judgement of a received
// datagram, kept apart from the socket so that tests and the fuzzer reach it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vocoders/codec_table.h"

namespace voxline {

constexpr uint32_t RTP_HEADER_BYTES = 12;
// A received datagram is read into at least this many bytes.
constexpr uint32_t RTP_RECEIVE_BYTES = 4096;
// Reads per tick; the last one is counted and dropped.
constexpr uint32_t RTP_READS_PER_TICK = 500;

struct rtp_geometry {
    uint32_t packet_ms;           // P
    uint32_t payload_bytes;       // E
    uint32_t packet_bytes;        // N = E + 12
    uint32_t short_packet_bytes;  // A, 0 when the codec has no short frame
    uint32_t pcm_bytes;           // D
    uint32_t timestamp_step;      // 8 × P
    uint16_t bad_size_throttle;   // R: one bad-size line per R bad datagrams
    uint32_t element_bytes;       // jitter-buffer element: length word and a packet (E + 16)
    uint32_t receive_bytes;       // max(4096, N + 1), so an oversize datagram shows as one
};

// pack_count is kept to 1..250 by the configuration; 0 is read as 1.
rtp_geometry compute_rtp_geometry(const codec_info& codec, uint32_t pack_count);

enum class rtp_verdict {
    decode,         // length N after padding: decode the payload
    silence,        // 12 bytes or A: valid, plays silence
    suspect_short,  // another length below N: counted bad, kept, plays silence
    oversize,       // longer than N: counted bad, dropped
    malformed,      // under 12 bytes, bad padding, CSRC list or extension past the end
    bad_version,    // not version 2: counted bad, dropped
    proxy_traffic,  // media relay control text: dropped silently
};

struct rtp_datagram {
    rtp_verdict verdict;
    uint16_t sequence;
    // The payload after any CSRC list and extension, without padding.
    const uint8_t* payload;
    uint32_t payload_bytes;
};

// Whether a verdict counts bad_rx.
constexpr bool rtp_counts_bad(rtp_verdict v) {
    return v == rtp_verdict::suspect_short || v == rtp_verdict::oversize ||
           v == rtp_verdict::malformed || v == rtp_verdict::bad_version;
}
// Whether the datagram goes on to the jitter buffer.
constexpr bool rtp_is_kept(rtp_verdict v) {
    return v == rtp_verdict::decode || v == rtp_verdict::silence || v == rtp_verdict::suspect_short;
}

rtp_datagram judge_rtp_datagram(const uint8_t* data, size_t length, const rtp_geometry& geometry);

}  // namespace voxline
