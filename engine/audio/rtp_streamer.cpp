#include "audio/rtp_streamer.h"

#include "audio/audio_session.h"
#include "audio/vxl_statistics.h"
#include "platform/clock.h"
#include "util/local_address.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"
#include "vocoders/codec_table.h"

namespace voxline {

namespace {
// RTP payload types by media codec number (G.729, G.723.1, mu-law, A-law).
constexpr int PAYLOAD_TYPES[] = {18, 4, 0, 8};
}  // namespace

namespace {

audio_session* make_audio_session(int media_codec, int frames_per_packet, int32_t min_input_ms) {
    const codec_info* codec = find_codec(media_codec);
    if (!codec) codec = find_codec(VOCODER_G723);
    const uint32_t pack = frames_per_packet > 0 ? static_cast<uint32_t>(frames_per_packet) : 1;
    return new audio_session(min_input_ms, codec->frame_ms * pack,
                             codec->decoded_frame_bytes * pack);
}

}  // namespace

rtp_streamer_t::rtp_streamer_t(int media_codec, int frames_per_packet, int32_t min_input_ms)
    : m_media_codec(media_codec),
      m_audio(make_audio_session(media_codec, frames_per_packet, min_input_ms)) {}

rtp_streamer_t::~rtp_streamer_t() {
    close();
}

int rtp_streamer_t::payload_type() const {
    return m_media_codec >= 0 && m_media_codec < 4 ? PAYLOAD_TYPES[m_media_codec] : 0;
}

int rtp_streamer_t::open(const char*, int, bool, int, std::string* visible_address,
                         int* visible_port) {
    close();
    m_failure_flagged = false;
    char local_ip[LOCAL_IP_MAX + 1];
    detect_local_address(local_ip);
    m_socket = std::make_unique<udp_socket>(local_ip, RTP_LOCAL_PORT);
    int rc = m_socket->listen_socket(0, process_type_of_service());
    if (rc != UDP_OK) {
        VXL_LOG(LOG_ERROR, "Unable to open RTP port %s:%d (rc=%d, socket_error=%d)", local_ip,
                RTP_LOCAL_PORT, rc, m_socket->last_error());
        m_socket.reset();
        m_failure_flagged = true;
        return -1;
    }
    reset_statistics(tick_ms());
    *visible_address = local_ip;
    *visible_port = RTP_LOCAL_PORT;
    return 0;
}

int rtp_streamer_t::enable(const char* remote_address, int remote_port) {
    if (!m_socket) return -1;
    if (int32_t rc = open_sound_devices(true); rc != 0) {
        VXL_LOG(LOG_ERROR, "Unable to open the sound devices (0x%08X)", static_cast<unsigned>(rc));
        return -1;
    }
    m_remote_address = remote_address ? remote_address : "";
    m_remote_port = remote_port;
    m_enabled = true;
    return 0;
}

void rtp_streamer_t::close() {
    if (m_socket) log_call_summary(tick_ms());
    m_enabled = false;
    m_socket.reset();
    m_audio->close_pipelines();
    if (m_audio->devices_open()) m_audio->close_devices();
    m_measured_echo_delay.store(0);
}

uint32_t rtp_streamer_t::packets_sent() const {
    return process_statistics().rtp_tx.load();
}

uint32_t rtp_streamer_t::packets_received() const {
    return process_statistics().rtp_rx.load();
}

bool rtp_streamer_t::is_open() const {
    return m_socket != nullptr;
}

int32_t rtp_streamer_t::open_sound_devices(bool retry) {
    return m_audio->open_audio_devices(retry);
}

int32_t rtp_streamer_t::test_sound_devices() {
    const int32_t rc = m_audio->open_audio_devices(false);
    close();
    m_audio->close_devices();
    return rc;
}

void rtp_streamer_t::post_measured_echo_delay(int ms) {
    if (ms <= 0) return;
    m_measured_echo_delay.store(ms);
    if (m_wake) m_wake();
}

int rtp_streamer_t::take_measured_echo_delay() {
    return m_measured_echo_delay.exchange(0);
}

uint32_t rtp_streamer_t::statistics_age_ms() const {
    const uint32_t start = process_statistics().start_tick.load();
    return start ? tick_ms() - start : 0;
}

}  // namespace voxline
