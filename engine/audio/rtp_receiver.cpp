#include "audio/rtp_receiver.h"

#include <cerrno>
#include <cstring>

#include "util/udp_socket.h"
#include "util/vxl_log.h"
#include "vocoders/vocoder.h"

namespace voxline {
namespace {

// Element layout: the checked length, then the header and the payload.
constexpr uint32_t LENGTH_BYTES = 4;

uint32_t element_length(const jb_node* node) {
    uint32_t length;
    memcpy(&length, node->data, LENGTH_BYTES);
    return length;
}

}  // namespace

rtp_receiver::rtp_receiver(const rtp_geometry& geometry, vocoder_t& decoder, vxl_statistics& stats,
                           int64_t (*now_ms)())
    : m_geometry(geometry),
      m_decoder(decoder),
      m_stats(stats),
      m_datagram(new uint8_t[geometry.receive_bytes]),
      m_pcm(new int16_t[geometry.pcm_bytes / 2 + 1]()),
      m_version_reports(RTP_VERSION_REPORT_WINDOW_MS, now_ms) {}

rtp_receiver::~rtp_receiver() = default;

void rtp_receiver::start(uint32_t size, uint32_t threshold) {
    m_spare = nullptr;
    m_buffer = std::make_unique<jitter_buffer>(size, threshold, m_geometry.element_bytes, m_stats);
    m_run_open = false;
}

void rtp_receiver::stop() {
    m_spare = nullptr;
    m_buffer.reset();
}

void rtp_receiver::drain(udp_socket& socket, decoded_sink& sink) {
    for (uint32_t reads = 1;; ++reads) {
        int length = static_cast<int>(m_geometry.receive_bytes);
        const int rc = socket.nread_socket_nonblock(m_datagram.get(), &length, nullptr);
        if (rc == UDP_NOTHING_TO_READ) return;
        if (rc != UDP_OK && rc != UDP_EMPTY_DATAGRAM) {
            // A refused or reset connection is an ICMP echo of a far end
            // that went away, not a fault of the socket.
            const int error = socket.last_error();
            if (error != ECONNREFUSED && error != ECONNRESET)
                VXL_LOG(LOG_ERROR, "Read socket error=%d", error);
            return;
        }
        count_event(m_stats.rtp_rx);
        if (reads == RTP_READS_PER_TICK) return;
        handle(m_datagram.get(), static_cast<size_t>(length), sink);
    }
}

void rtp_receiver::handle(const uint8_t* data, size_t length, decoded_sink& sink) {
    if (!m_buffer) return;
    if (!m_spare) m_spare = m_buffer->take_free_node();
    if (!m_spare) {
        count_event(m_stats.jb_full);
        return;
    }
    const rtp_datagram d = judge_rtp_datagram(data, length, m_geometry);
    if (d.verdict == rtp_verdict::proxy_traffic) return;
    if (rtp_counts_bad(d.verdict)) {
        count_event(m_stats.bad_rx);
        if (d.verdict == rtp_verdict::bad_version) {
            int held_back = 0;
            char more[32];
            if (m_version_reports.admit(0, &held_back))
                VXL_LOG(LOG_ERROR, "Received invalid RTP packets (incorrect RTP header version)%s",
                        more_since_text(held_back, more, sizeof more));
        } else {
            log_bad_size(d.verdict, length);
        }
    }
    if (!rtp_is_kept(d.verdict)) return;

    // Only the fixed header and the payload are kept: at most E + 16 bytes.
    jb_node* node = m_spare;
    m_spare = nullptr;
    const uint32_t kept = RTP_HEADER_BYTES + d.payload_bytes;
    memcpy(node->data, &kept, LENGTH_BYTES);
    memcpy(node->data + LENGTH_BYTES, data, RTP_HEADER_BYTES);
    node->data[LENGTH_BYTES] &= 0xC0;  // no padding, extension or CSRC left in the copy
    memcpy(node->data + LENGTH_BYTES + RTP_HEADER_BYTES, d.payload, d.payload_bytes);
    node->sequence = d.sequence;
    if (jb_node* ready = m_buffer->insert(node)) play(ready, sink);
}

void rtp_receiver::log_bad_size(rtp_verdict verdict, size_t length) {
    const uint32_t bad = m_stats.bad_rx.load(std::memory_order_relaxed);
    if (bad % m_geometry.bad_size_throttle != 0) return;
    const int expected = static_cast<int>(m_geometry.payload_bytes);
    const int received = static_cast<int>(length) - static_cast<int>(RTP_HEADER_BYTES);
    if (verdict == rtp_verdict::suspect_short) {
        VXL_LOG(LOG_ALWAYS,
                "Received RTP packet of suspect size, possibly silence packet (expected size=%d, "
                "received size=%d)",
                expected, received);
    } else {
        VXL_LOG(LOG_ERROR,
                "Received RTP packet of invalid size (expected size=%d, received size=%d)",
                expected, received);
    }
}

void rtp_receiver::play(jb_node* node, decoded_sink& sink) {
    const uint16_t sequence = node->sequence;
    if (!m_run_open) {
        m_run_open = true;
        m_run_start = sequence;
    } else if (sequence != static_cast<uint16_t>(m_last_played + 1)) {
        count_event(m_stats.missed_rtp);
        VXL_LOG(LOG_INFO, "Rx:%05d-%05d", m_run_start, m_last_played);
        m_run_start = sequence;
    }
    m_last_played = sequence;

    const uint32_t pcm_bytes = m_geometry.pcm_bytes;
    uint32_t produced = 0;
    if (element_length(node) == m_geometry.packet_bytes) {
        m_decoder.decode(node->data + LENGTH_BYTES + RTP_HEADER_BYTES, m_geometry.payload_bytes,
                         m_pcm.get(), pcm_bytes, &produced);
    }
    if (produced < pcm_bytes)
        memset(reinterpret_cast<uint8_t*>(m_pcm.get()) + produced, 0, pcm_bytes - produced);
    sink.push_decoded(reinterpret_cast<const uint8_t*>(m_pcm.get()));
    m_buffer->return_node(node);
}

}  // namespace voxline
