// The receive side of a session: drains the RTP socket once a tick, judges
// each datagram, orders the kept ones in the jitter buffer and turns what it
// releases into one packet of PCM each (decoded, or silence).
//
// Owner: rtp_streamer_t; used on the RTP thread only. Nothing is allocated
// per datagram: the buffers come with the object and the jitter buffer with
// each open.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/jitter_buffer.h"
#include "audio/rtp_packet.h"
#include "audio/vxl_statistics.h"
#include "util/rate_limit.h"

namespace voxline {

class udp_socket;
class vocoder_t;

struct decoded_sink {
    virtual ~decoded_sink() = default;
    // geometry.pcm_bytes of PCM for the speaker.
    virtual void push_decoded(const uint8_t* pcm) = 0;
};

// The wrong-version line is written at most once in this window.
constexpr int64_t RTP_VERSION_REPORT_WINDOW_MS = 10000;

class rtp_receiver {
  public:
    rtp_receiver(const rtp_geometry& geometry, vocoder_t& decoder, vxl_statistics& stats,
                 int64_t (*now_ms)());
    ~rtp_receiver();

    // A fresh, empty jitter buffer (each open); the next packet played starts a run.
    void start(uint32_t size, uint32_t threshold);
    void stop();
    bool started() const { return m_buffer != nullptr; }

    // Reads at most RTP_READS_PER_TICK datagrams, until the socket has none.
    void drain(udp_socket& socket, decoded_sink& sink);
    // One datagram as read from the socket (counted in rtp_rx by the caller).
    void handle(const uint8_t* data, size_t length, decoded_sink& sink);

  private:
    void log_bad_size(rtp_verdict verdict, size_t length);
    void play(jb_node* node, decoded_sink& sink);

    const rtp_geometry m_geometry;
    vocoder_t& m_decoder;
    vxl_statistics& m_stats;
    std::unique_ptr<jitter_buffer> m_buffer;
    jb_node* m_spare = nullptr;
    uint16_t m_last_played = 0;
    uint16_t m_run_start = 0;
    bool m_run_open = false;
    std::unique_ptr<uint8_t[]> m_datagram;
    std::unique_ptr<int16_t[]> m_pcm;
    rate_limit m_version_reports;
};

}  // namespace voxline
