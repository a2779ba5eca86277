// The send side of a session: one packet of PCM becomes one RTP packet of
// exactly N bytes with a running sequence number and timestamp.
//
// Owner: rtp_streamer_t; used on the RTP thread only (built on the call thread).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>

#include "audio/rtp_packet.h"
#include "audio/vxl_statistics.h"

namespace voxline {

class udp_socket;
class vocoder_t;

// The synchronisation source: process, thread and tick at construction.
uint32_t rtp_ssrc(uint32_t process_id, uint32_t thread_id, uint32_t tick);

class rtp_sender {
  public:
    // The first sequence number is the tick's low 16 bits, the first timestamp tick << 8.
    rtp_sender(const rtp_geometry& geometry, uint8_t payload_type, vocoder_t& encoder,
               uint32_t tick, uint32_t ssrc);

    // Encodes geometry.pcm_bytes of PCM and sends the packet; rtp_tx counts
    // only what the socket took.
    void send(const uint8_t* pcm, udp_socket& socket, const sockaddr_in& to, vxl_statistics& stats);

    uint16_t next_sequence() const { return m_sequence; }
    uint32_t next_timestamp() const { return m_timestamp; }
    const uint8_t* packet() const { return m_packet.get(); }

  private:
    const rtp_geometry m_geometry;
    vocoder_t& m_encoder;
    std::unique_ptr<uint8_t[]> m_packet;
    uint16_t m_sequence;
    uint32_t m_timestamp;
};

}  // namespace voxline
