// The media session of one call: the RTP thread that owns the RTP socket, the
// jitter buffer and the codecs, driven by the 10 ms timer, with the sound
// devices held from an offer or an answer to the session's close.
//
// Owner: the call control. Threads: the call thread constructs, opens,
// enables, closes and destroys; one RTP thread per open does all socket and
// media work; the sound driver's threads return buffers (audio_session).
// Hand-over is by posted messages and one completion event with bounded
// waits; the RTP thread is always joined before close returns.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/audio_session.h"
#include "audio/jitter_sizing.h"
#include "audio/media_seams.h"
#include "audio/rtp_packet.h"
#include "audio/tone_images.h"
#include "platform/sound/thread_message_queue.h"

namespace voxline {

class rtp_receiver;
class rtp_sender;
class udp_socket;
class vocoder_t;

constexpr uint16_t RTP_LOCAL_PORT = 3400;
constexpr int RTP_OPEN_WAIT_MS = 20000;
constexpr int RTP_ENABLE_WAIT_MS = 5000;
constexpr int RTP_QUIT_WAIT_MS = 5000;

class rtp_streamer_t {
  public:
    rtp_streamer_t(const char* engine_directory, int vocoder_code, const char* proxy_host,
                   int proxy_port, uint16_t pack_count, int32_t min_input_ms,
                   int32_t min_jitter_size_ms, int32_t min_jitter_threshold_ms,
                   bool echo_cancellation, bool notch_during_ping);
    ~rtp_streamer_t();
    rtp_streamer_t(const rtp_streamer_t&) = delete;
    rtp_streamer_t& operator=(const rtp_streamer_t&) = delete;

    // Starts the RTP thread, which binds the RTP port and chooses the address
    // the far end sends to. *visible_port is -1 on failure; *error is then
    // true when NAT discovery or the relay failed rather than the socket.
    void open_rtp_session(const char* call_agent_host, int call_agent_port, bool behind_nat,
                          uint32_t echo_latency_ms, uint32_t* visible_address, int* visible_port,
                          bool* error);
    // Starts (or redirects) the stream towards the far end: 0, or 1 on failure.
    int enable_rtp_streamer(const char* far_address, int far_port, bool* error);
    void close_rtp_session();

    bool is_open() const { return m_thread.joinable(); }
    bool enabled() const { return m_enabled.load(); }

    // Both sound devices: 0 or a sound-device result code. Without retry a
    // busy output fails at once; with it the output is tried for about 1 s.
    int32_t open_sound_devices(bool retry);
    // The configuration's device test: open both, then close everything.
    int32_t test_sound_devices();
    audio_session& audio() { return *m_audio; }
    int payload_type() const { return m_codec->payload_type; }
    const rtp_geometry& geometry() const { return m_geometry; }
    const jitter_sizing& jitter() const { return m_jitter; }

    // --- tones and digits (call thread) ---
    // A call-progress tone by index (busy 0, reorder 1, dial tone 2,
    // alerting 3, ringing 4), looping for about 15 s; false when it cannot.
    bool play_tone(int index);
    void stop_tone();
    // A tone's loop played out since the last look (taken once).
    bool take_tone_finished() { return m_audio->tone_finished.exchange(false); }
    // Digits heard locally during the call: 0, or 1 when any was refused.
    int queue_digits(const char* digits) { return m_extras->queue_digits(digits); }
    // Digits heard with no call up: 0, or 1 when any was refused.
    int play_onhook_digits(const char* digits);
    const tone_images& images() const { return m_images; }

    // Seams for parts built beside this one; set before an open.
    void set_address_finder(std::unique_ptr<rtp_address_finder> finder);
    void set_media_extras(std::unique_ptr<call_media_extras> extras);

    // The echo-delay mailbox, one slot. The measuring side (the RTP thread)
    // posts a delay in ms (> 0) and the session calls the wake-up it was
    // given, so the call thread takes the delay at once instead of polling
    // for it. The wake-up may run on any thread: it must only signal (no
    // lock, no blocking). Opening and closing empty the slot, so a delay
    // never outlives its session.
    // A tone whose loop played out wakes the call thread the same way.
    void set_call_thread_wake(std::function<void()> wake) {
        m_wake = std::move(wake);
        m_audio->set_tone_finished_wake(m_wake);
    }
    void post_measured_echo_delay(int ms);
    // Measured echo delay, taken once (0 when there is none).
    int take_measured_echo_delay();

    uint32_t packets_sent() const;
    uint32_t packets_received() const;
    // Milliseconds since the statistics were started (the session's open).
    uint32_t statistics_age_ms() const;

    // The next sequence number and timestamp the stream will send.
    uint16_t next_sequence() const;
    uint32_t next_timestamp() const;

  private:
    class hooks;
    void log_configuration(int32_t min_input_ms, int32_t min_jitter_size_ms,
                           int32_t min_jitter_threshold_ms) const;
    void thread_main();
    bool start_up();
    bool choose_address(const char* local_ip);
    void message_loop();
    int enable_on_thread();
    void close_on_thread();

    // --- configuration ---
    std::string m_engine_directory;
    const codec_info* m_codec;
    std::unique_ptr<vocoder_t> m_encoder;
    std::unique_ptr<vocoder_t> m_decoder;
    uint16_t m_pack_count;
    std::string m_proxy_host;
    int m_proxy_port;
    bool m_proxy_configured;
    bool m_echo_cancellation;
    bool m_notch_during_ping;
    rtp_geometry m_geometry;
    jitter_sizing m_jitter;
    // Before the audio and the extras, which play from it until they are gone.
    const tone_images m_images;
    std::unique_ptr<audio_session> m_audio;
    std::unique_ptr<rtp_address_finder> m_address_finder;
    std::unique_ptr<call_media_extras> m_extras;

    // --- session ---
    std::string m_call_agent_host;
    int m_call_agent_port = 0;
    bool m_behind_nat = false;
    uint32_t m_echo_latency_ms = 0;
    std::string m_visible_address;
    std::atomic<int> m_visible_port{-1};
    bool m_open_error = false;
    bool m_enable_error = false;
    int m_enable_result = 1;
    std::mutex m_far_lock;
    std::string m_far_address;
    int m_far_port = 0;
    sockaddr_in m_destination{};
    std::unique_ptr<udp_socket> m_socket;
    std::unique_ptr<rtp_sender> m_sender;
    std::unique_ptr<rtp_receiver> m_receiver;
    std::unique_ptr<hooks> m_hooks;
    std::atomic<bool> m_enabled{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    thread_message_queue m_queue{64};
    bounded_event m_completion;
    bounded_event m_thread_ended;

    std::atomic<int> m_measured_echo_delay{0};
    std::function<void()> m_wake;
};

}  // namespace voxline
