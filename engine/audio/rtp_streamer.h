// The media session of one call. For now it holds the call's RTP port, its
// address and the sound devices (held from an offer or an answer to the
// session's close); voice does not flow yet (the RTP thread and the codecs
// join it later), so enabling only changes its state.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace voxline {

class audio_session;
class udp_socket;

constexpr uint16_t RTP_LOCAL_PORT = 3400;

class rtp_streamer_t {
  public:
    // frames_per_packet and min_input_ms as configured; they size the
    // sound pipelines.
    rtp_streamer_t(int media_codec, int frames_per_packet, int32_t min_input_ms);
    ~rtp_streamer_t();
    rtp_streamer_t(const rtp_streamer_t&) = delete;
    rtp_streamer_t& operator=(const rtp_streamer_t&) = delete;

    // Binds the RTP port on the local address; on success gives the address
    // and port the far end should send to. 0 or a negative code.
    int open(const char* call_agent_host, int nat_info_port, bool behind_nat, int echo_delay_ms,
             std::string* visible_address, int* visible_port);
    // Starts the stream towards the far end. 0 or a negative code.
    int enable(const char* remote_address, int remote_port);
    void close();
    bool is_open() const;
    bool enabled() const { return m_enabled; }
    // The media engine flagged the last open or enable failure itself.
    bool failure_flagged() const { return m_failure_flagged; }

    // Both sound devices: 0 or a sound-device result code. Without retry a
    // busy output fails at once; with it the output is tried for about 1 s.
    int32_t open_sound_devices(bool retry);
    // The configuration's device test: open both, then close everything.
    int32_t test_sound_devices();
    audio_session& audio() { return *m_audio; }
    // RTP payload type of the codec in use.
    int payload_type() const;
    // The echo-delay mailbox, one slot. The measuring side (the RTP thread,
    // once there is one) posts a delay in ms (> 0) and the session calls the
    // wake-up it was given, so the call thread takes the delay at once
    // instead of polling for it. The wake-up may run on any thread: it must
    // only signal (no lock, no blocking). Closing the session (opening
    // closes first) empties the slot, so a delay never outlives its session.
    void set_call_thread_wake(std::function<void()> wake) { m_wake = std::move(wake); }
    void post_measured_echo_delay(int ms);
    // Measured echo delay, taken once (0 when there is none).
    int take_measured_echo_delay();

    uint32_t packets_sent() const;
    uint32_t packets_received() const;
    // Milliseconds since the statistics were started (the session's open).
    uint32_t statistics_age_ms() const;

  private:
    int m_media_codec;
    std::unique_ptr<audio_session> m_audio;
    std::unique_ptr<udp_socket> m_socket;
    bool m_enabled = false;
    bool m_failure_flagged = false;
    std::string m_remote_address;
    int m_remote_port = 0;
    std::atomic<int> m_measured_echo_delay{0};
    std::function<void()> m_wake;
};

}  // namespace voxline
