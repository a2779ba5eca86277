#include "audio/rtp_sender.h"

#include "util/udp_socket.h"
#include "vocoders/vocoder.h"

namespace voxline {

uint32_t rtp_ssrc(uint32_t process_id, uint32_t thread_id, uint32_t tick) {
    return (process_id & 0xFF) << 24 | (thread_id & 0xFF) << 16 | (tick & 0xFFFF);
}

rtp_sender::rtp_sender(const rtp_geometry& geometry, uint8_t payload_type, vocoder_t& encoder,
                       uint32_t tick, uint32_t ssrc)
    : m_geometry(geometry),
      m_encoder(encoder),
      m_packet(new uint8_t[geometry.packet_bytes]()),
      m_sequence(static_cast<uint16_t>(tick)),
      m_timestamp(tick << 8) {
    m_packet[0] = 0x80;
    m_packet[1] = payload_type & 0x7F;
    // Least significant byte first, as the phone always wrote it.
    for (int i = 0; i < 4; ++i) m_packet[8 + i] = static_cast<uint8_t>(ssrc >> (8 * i));
}

void rtp_sender::send(const uint8_t* pcm, udp_socket& socket, const sockaddr_in& to,
                      vxl_statistics& stats) {
    uint8_t* p = m_packet.get();
    uint32_t written = 0;
    m_encoder.encode(reinterpret_cast<const int16_t*>(pcm), m_geometry.pcm_bytes,
                     p + RTP_HEADER_BYTES, m_geometry.payload_bytes, &written);
    p[2] = static_cast<uint8_t>(m_sequence >> 8);
    p[3] = static_cast<uint8_t>(m_sequence);
    for (int i = 0; i < 4; ++i) p[4 + i] = static_cast<uint8_t>(m_timestamp >> (24 - 8 * i));
    ++m_sequence;
    m_timestamp += m_geometry.timestamp_step;
    if (socket.write_socket_block(p, m_geometry.packet_bytes, &to) == 0) count_event(stats.rtp_tx);
}

}  // namespace voxline
