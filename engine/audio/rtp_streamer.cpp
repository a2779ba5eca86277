#include "audio/rtp_streamer.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cstring>
#include <exception>

#include "audio/call_media.h"
#include "audio/call_progress_tone.h"
#include "audio/onhook_digits.h"
#include "audio/rtp_messages.h"
#include "audio/rtp_receiver.h"
#include "audio/rtp_sender.h"
#include "audio/vxl_statistics.h"
#include "platform/clock.h"
#include "util/local_address.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"
#include "vocoders/vocoder.h"

namespace voxline {

// The tick's hooks: RTP out and in here, the rest from the call's extras.
class rtp_streamer_t::hooks : public tick_hooks, public decoded_sink {
  public:
    explicit hooks(rtp_streamer_t& owner) : m_owner(owner) {}
    void supervise_ping() override { m_owner.m_extras->supervise_ping(); }
    tone_view start_digit() override { return m_owner.m_extras->start_digit(); }
    bool mic_muted() override { return m_owner.m_extras->mic_muted(); }
    bool digit_playing() override { return m_owner.m_extras->digit_playing(); }
    echo_stage* echo() override { return m_owner.m_extras->echo(); }
    void count_down_digits() override { m_owner.m_extras->count_down_digits(); }
    void send_packet(const uint8_t* pcm, uint32_t) override {
        m_owner.m_sender->send(pcm, *m_owner.m_socket, m_owner.m_destination, process_statistics());
    }
    void receive(audio_session& session) override {
        m_session = &session;
        m_owner.m_receiver->drain(*m_owner.m_socket, *this);
    }
    void push_decoded(const uint8_t* pcm) override { m_session->push_decoded(pcm); }

  private:
    rtp_streamer_t& m_owner;
    audio_session* m_session = nullptr;
};

namespace {

constexpr uint16_t LAST_RTP_PORT = RTP_LOCAL_PORT;
constexpr uint16_t RTP_PORT_STEP = 2;
// How often the RTP thread looks at its stop flag while no message comes.
constexpr int STOP_POLL_MS = 100;

const codec_info& choose_codec(int vocoder_code, uint16_t pack) {
    const codec_info* codec = find_codec(vocoder_code);
    if (!codec) {
        VXL_LOG(LOG_INFO, "Unsupported vocoder (%d).  Defaulting to another vocoder.",
                vocoder_code);
        codec = find_codec(VOCODER_G723);
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    VXL_LOG(LOG_INFO, codec->log_format, static_cast<int>(pack));
#pragma GCC diagnostic pop
    return *codec;
}

uint32_t current_thread_number() {
    return static_cast<uint32_t>(gettid());
}

}  // namespace

rtp_streamer_t::rtp_streamer_t(const char* engine_directory, int vocoder_code,
                               const char* proxy_host, int proxy_port, uint16_t pack_count,
                               int32_t min_input_ms, int32_t min_jitter_size_ms,
                               int32_t min_jitter_threshold_ms, bool echo_cancellation,
                               bool notch_during_ping)
    : m_engine_directory(engine_directory ? engine_directory : ""),
      m_pack_count(pack_count > 0 ? pack_count : 1),
      m_proxy_host(proxy_host ? proxy_host : ""),
      m_proxy_port(proxy_port),
      m_proxy_configured(!m_proxy_host.empty()),
      m_echo_cancellation(echo_cancellation),
      m_notch_during_ping(notch_during_ping),
      m_address_finder(make_missing_address_finder()),
      m_extras(std::make_unique<call_media>(m_images)) {
    m_codec = &choose_codec(vocoder_code, m_pack_count);
    m_encoder = create_vocoder(m_codec->code, m_pack_count);
    m_decoder = create_vocoder(m_codec->code, m_pack_count);
    m_geometry = compute_rtp_geometry(*m_codec, m_pack_count);
    m_jitter =
        compute_jitter_sizing(min_jitter_size_ms, min_jitter_threshold_ms, m_geometry.packet_ms);
    m_audio =
        std::make_unique<audio_session>(min_input_ms, m_geometry.packet_ms, m_geometry.pcm_bytes);
    log_configuration(min_input_ms, min_jitter_size_ms, min_jitter_threshold_ms);
    m_hooks = std::make_unique<hooks>(*this);
    if (!m_encoder || !m_decoder) return;  // logged; every open then fails
    const uint32_t tick = tick_ms();
    m_sender = std::make_unique<rtp_sender>(
        m_geometry, m_codec->payload_type, *m_encoder, tick,
        rtp_ssrc(static_cast<uint32_t>(getpid()), current_thread_number(), tick));
    m_receiver =
        std::make_unique<rtp_receiver>(m_geometry, *m_decoder, process_statistics(), monotonic_ms);
}

rtp_streamer_t::~rtp_streamer_t() {
    try {
        if (m_thread.joinable()) close_rtp_session();
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception caught in ~rtp_streamer_t");
    }
}

void rtp_streamer_t::log_configuration(int32_t min_input_ms, int32_t min_jitter_size_ms,
                                       int32_t min_jitter_threshold_ms) const {
    const rtp_geometry& g = m_geometry;
    const audio_sizes& sizes = m_audio->sizes();
    VXL_LOG(LOG_INFO, "RTP packet rate = %d ms", static_cast<int>(g.packet_ms));
    VXL_LOG(LOG_INFO, "Timer interval = %d ms", static_cast<int>(TIMER_INTERVAL_MS));
    VXL_LOG(LOG_INFO,
            "Encoded RTP packet sizes:  single sample = %d bytes, packed sample = %d bytes",
            static_cast<int>(m_codec->encoded_frame_bytes), static_cast<int>(g.payload_bytes));
    VXL_LOG(LOG_INFO,
            "Decoded RTP packet sizes:  single sample = %d bytes, packed sample = %d bytes",
            static_cast<int>(m_codec->decoded_frame_bytes), static_cast<int>(g.pcm_bytes));
    VXL_LOG(LOG_INFO, "Minimum audio input sample rate = %d ms", static_cast<int>(min_input_ms));
    VXL_LOG(LOG_INFO, "Effective audio input sample rate = %d ms",
            static_cast<int>(sizes.input_period_ms));
    VXL_LOG(LOG_INFO, "Effective audio input sample size = %d bytes",
            static_cast<int>(sizes.input_buffer_bytes));
    VXL_LOG(LOG_INFO, "RTP timestamp delta = 0x%02x", static_cast<unsigned>(g.timestamp_step));
    VXL_LOG(LOG_INFO, "Minimum jitter buffer size = %d ms", static_cast<int>(min_jitter_size_ms));
    VXL_LOG(LOG_INFO, "Minimum jitter buffer threshold = %d ms",
            static_cast<int>(min_jitter_threshold_ms));
    log_jitter_sizing(m_jitter, g.packet_ms);
    VXL_LOG(LOG_INFO, "Echo cancellation %s %s", m_echo_cancellation ? "enabled" : "disabled",
            !m_echo_cancellation  ? ""
            : m_notch_during_ping ? "(use notch filter during ping)"
                                  : "(disable send audio during ping)");
    if (g.packet_ms % TIMER_INTERVAL_MS != 0)
        VXL_LOG(LOG_ERROR,
                "RTP sample rate (%d ms) is not an even multiple of the timer interval (%d ms)",
                static_cast<int>(g.packet_ms), static_cast<int>(TIMER_INTERVAL_MS));
}

void rtp_streamer_t::set_address_finder(std::unique_ptr<rtp_address_finder> finder) {
    if (finder && !m_thread.joinable()) m_address_finder = std::move(finder);
}

void rtp_streamer_t::set_media_extras(std::unique_ptr<call_media_extras> extras) {
    if (extras && !m_thread.joinable()) m_extras = std::move(extras);
}

// --- the call thread's half ---

void rtp_streamer_t::open_rtp_session(const char* call_agent_host, int call_agent_port,
                                      bool behind_nat, uint32_t echo_latency_ms,
                                      uint32_t* visible_address, int* visible_port, bool* error) {
    *visible_port = -1;
    *error = false;
    if (m_thread.joinable()) {
        VXL_LOG(LOG_ERROR, "Attempt to open RTP session while session already active");
        return;
    }
    reset_statistics(tick_ms());
    m_call_agent_host = call_agent_host ? call_agent_host : "";
    m_call_agent_port = call_agent_port;
    m_behind_nat = behind_nat;
    m_echo_latency_ms = echo_latency_ms;
    m_measured_echo_delay.store(0);

    // Messages a previous session left behind (a late tick, an unread quit).
    for (thread_message stale; m_queue.get(stale, 0);) {
    }
    m_stop = false;
    m_visible_port = -1;
    m_open_error = false;
    m_completion.reset();
    m_thread_ended.reset();
    try {
        m_thread = std::thread([this] { thread_main(); });
    } catch (const std::exception&) {
        VXL_LOG(LOG_ERROR, "Unable to start the RTP thread");
        return;
    }
    if (!m_completion.wait(RTP_OPEN_WAIT_MS)) {
        VXL_LOG(LOG_ERROR, "Timed out waiting open RTP session to complete");
        close_rtp_session();
        return;
    }
    if (m_visible_port.load() != -1 &&
        dotted_to_address(m_visible_address.c_str(), visible_address)) {
        *visible_port = m_visible_port.load();
        return;
    }
    *error = m_open_error;
    close_rtp_session();
}

int rtp_streamer_t::enable_rtp_streamer(const char* far_address, int far_port, bool* error) {
    *error = false;
    if (!m_thread.joinable()) {
        VXL_LOG(LOG_ERROR,
                "Attempt to enable nonexistent RTP session.  Possibly received MDCX after an old "
                "DLCX");
        return 1;
    }
    // The devices may have been let go since the offer (a busy card, a tone).
    if (int32_t rc = open_sound_devices(true); rc != 0) {
        VXL_LOG(LOG_ERROR, "Unable to open the sound devices (0x%08X)", static_cast<unsigned>(rc));
        return 1;
    }
    {
        std::lock_guard lock(m_far_lock);
        m_far_address = far_address ? far_address : "";
        m_far_port = far_port;
    }
    m_enable_error = false;
    m_enable_result = 1;
    m_completion.reset();
    if (!m_queue.post({MSG_RTP_ENABLE, 0, 0}) || !m_completion.wait(RTP_ENABLE_WAIT_MS)) {
        VXL_LOG(LOG_ERROR, "Enable RTP streamer timed out");
        return 1;
    }
    *error = m_enable_error;
    return m_enable_result;
}

void rtp_streamer_t::close_rtp_session() {
    if (!m_thread.joinable()) {
        VXL_LOG(LOG_INFO, "RTP session already closed.");
        // Devices held for a call that never opened (an offer, a ring, a
        // call-progress tone's output alone) go too.
        if (m_audio->devices_open() || m_audio->output_device()) m_audio->close_devices();
        return;
    }
    m_queue.post({MSG_RTP_QUIT, 0, 0});
    if (!m_thread_ended.wait(RTP_QUIT_WAIT_MS)) {
        VXL_LOG(LOG_ERROR, "Timed out waiting for RTP thread to terminate");
    }
    // The thread reads the flag between messages and in every network wait,
    // so the join is bounded even when the quit was not seen in time.
    m_stop = true;
    m_thread.join();
    m_audio->close_devices();
    m_measured_echo_delay.store(0);
}

// --- the RTP thread ---

void rtp_streamer_t::thread_main() {
    // Time-critical when the system allows it; an ordinary thread otherwise.
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    const bool ready = start_up();
    m_completion.set();
    if (ready) message_loop();
    m_thread_ended.set();
}

bool rtp_streamer_t::start_up() {
    m_visible_port = -1;
    m_open_error = false;
    if (!m_sender || !m_receiver) return false;
    char local_ip[LOCAL_IP_MAX + 1];
    detect_local_address(local_ip);
    bool bound = false;
    for (uint32_t port = RTP_LOCAL_PORT; port <= LAST_RTP_PORT; port += RTP_PORT_STEP) {
        m_socket = std::make_unique<udp_socket>(local_ip, static_cast<uint16_t>(port));
        const int rc = m_socket->listen_socket(0, process_type_of_service());
        if (rc == UDP_OK) {
            bound = true;
            VXL_LOG(LOG_ALWAYS, "#Opened local RTP port %s:%d", local_ip, static_cast<int>(port));
            break;
        }
        VXL_LOG(LOG_INFO, "Open local RTP port to %s:%d failed (rc=%d, socket_error=%d).", local_ip,
                static_cast<int>(port), rc, m_socket->last_error());
    }
    if (!bound) {
        VXL_LOG(LOG_ERROR, "Unable to find suitable local RTP port (searched %d..%d)",
                static_cast<int>(RTP_LOCAL_PORT), static_cast<int>(LAST_RTP_PORT));
        m_socket.reset();
        return false;
    }
    VXL_LOG(LOG_ALWAYS, "Using QOS Setting (0x%X)",
            static_cast<unsigned>(process_type_of_service()));
    if (!choose_address(local_ip)) {
        m_socket.reset();
        m_visible_address.clear();
        m_open_error = true;
        return false;
    }
    m_receiver->start(m_jitter.size, m_jitter.threshold);
    return true;
}

bool rtp_streamer_t::choose_address(const char* local_ip) {
    const int local_port = ntohs(m_socket->address().sin_port);
    std::string address;
    int port = -1;
    if (!m_behind_nat) {
        m_visible_address = local_ip;
        m_visible_port = local_port;
        VXL_LOG(LOG_ALWAYS, "RTP %s:%d", local_ip, local_port);
        return true;
    }
    if (!m_proxy_configured) {
        VXL_LOG(LOG_ALWAYS,
                "We are behind a NAT and not programmed to use a proxy server.  Will attempt to "
                "use unreliable NAT algorithm");
        if (!m_address_finder->query_nat_mapping(*m_socket, m_call_agent_host.c_str(),
                                                 m_call_agent_port, m_stop, &address, &port)) {
            VXL_LOG(LOG_ERROR,
                    "We are behind a NAT and unable to get NAT information from call agent.");
            return false;
        }
        VXL_LOG(LOG_ALWAYS, "NAT RTP %s:%d (unreliable; may not receive audio)", address.c_str(),
                port);
    } else {
        if (!m_address_finder->allocate_relay(*m_socket, m_proxy_host.c_str(), m_proxy_port,
                                              m_call_agent_host.c_str(), m_stop, &address, &port)) {
            VXL_LOG(LOG_ERROR, "We are behind a NAT but unable to allocate a proxy port.");
            return false;
        }
        VXL_LOG(LOG_ALWAYS, "Proxy RTP %s:%d", address.c_str(), port);
    }
    m_visible_address = address;
    m_visible_port = port;
    return true;
}

void rtp_streamer_t::message_loop() {
    thread_message message;
    while (!m_stop.load()) {
        if (!m_queue.get(message, STOP_POLL_MS)) continue;
        if (message.id == MSG_RTP_TICK) {
            if (m_enabled.load()) m_audio->tick(*m_hooks);
        } else if (message.id == MSG_RTP_ENABLE) {
            m_enable_result = enable_on_thread();
            m_completion.set();
        } else if (message.id == MSG_RTP_QUIT) {
            break;
        }
    }
    close_on_thread();
}

int rtp_streamer_t::enable_on_thread() {
    std::string far_address;
    int far_port;
    {
        std::lock_guard lock(m_far_lock);
        far_address = m_far_address;
        far_port = m_far_port;
    }
    m_extras->clear_digits();
    m_extras->drop_echo_canceller();
    if (m_behind_nat && m_proxy_configured && !m_visible_address.empty() && !m_enabled.load() &&
        !m_address_finder->probe_relay(*m_socket, m_visible_address.c_str(), m_visible_port.load(),
                                       m_stop)) {
        VXL_LOG(LOG_ERROR, "Did not receive probe response.");
        m_enable_error = true;
        return 1;
    }
    if (m_echo_cancellation) {
        echo_setup setup;
        setup.notch_during_ping = m_notch_during_ping;
        setup.latency_ms = m_echo_latency_ms;
        setup.redirect = m_enabled.load();
        setup.publish = [](void* streamer, int ms) {
            static_cast<rtp_streamer_t*>(streamer)->post_measured_echo_delay(ms);
        };
        setup.context = this;
        m_extras->set_up_echo_canceller(setup);
    }
    m_audio->reset_send_staging();
    if (m_enabled.load()) {
        VXL_LOG(LOG_ALWAYS, "Redirect RTP stream to %s:%d", far_address.c_str(), far_port);
        m_audio->timeslot().stop_timer();
        m_audio->reset_capture();
    } else {
        VXL_LOG(LOG_ALWAYS, "Initializing RTP stream %s:%d", far_address.c_str(), far_port);
    }
    uint32_t address = 0;
    if (far_port < 1 || far_port > 65535 || !dotted_to_address(far_address.c_str(), &address)) {
        VXL_LOG(LOG_ERROR, "Attempt to set RTP destination to %s:%d failed (rc=%d)",
                far_address.c_str(), far_port, -1);
        return 1;
    }
    m_destination = {};
    m_destination.sin_family = AF_INET;
    m_destination.sin_addr.s_addr = address;
    m_destination.sin_port = htons(static_cast<uint16_t>(far_port));
    if (m_audio->build_pipelines() != 0) return 1;
    if (int32_t rc = m_audio->start_capture(); rc != 0) {
        VXL_LOG(LOG_ERROR, "waveInStart failed: error=%d", rc);
        return 1;
    }
    VXL_LOG(LOG_INFO, "waveInStart succeeded");
    if (!m_audio->timeslot().start_timer(m_queue)) {
        if (int32_t rc = m_audio->reset_input(); rc != 0)
            VXL_LOG(LOG_ERROR, "waveInReset failed: error=%d", rc);
        return 1;
    }
    m_enabled = true;
    VXL_LOG(LOG_INFO, "RTP interface enabled");
    return 0;
}

void rtp_streamer_t::close_on_thread() {
    VXL_LOG(LOG_ALWAYS, "Closing RTP session.");
    m_audio->timeslot().stop_timer();
    m_audio->close_pipelines();
    if (m_behind_nat && m_proxy_configured && !m_visible_address.empty() &&
        m_visible_port.load() >= 1 && m_socket) {
        m_address_finder->release_relay(*m_socket, m_visible_address.c_str(),
                                        m_visible_port.load());
    }
    m_socket.reset();
    m_receiver->stop();
    m_extras->drop_echo_canceller();
    m_enabled = false;
    log_call_summary(tick_ms());
}

// --- tones and digits ---

bool rtp_streamer_t::play_tone(int index) {
    return voxline::play_tone(*m_audio, m_images, index);
}

void rtp_streamer_t::stop_tone() {
    voxline::stop_tone(*m_audio);
}

int rtp_streamer_t::play_onhook_digits(const char* digits) {
    return voxline::play_onhook_digits(m_images, digits);
}

// --- devices and the call control's readings ---

int32_t rtp_streamer_t::open_sound_devices(bool retry) {
    return m_audio->open_audio_devices(retry);
}

int32_t rtp_streamer_t::test_sound_devices() {
    if (m_thread.joinable()) close_rtp_session();
    const int32_t rc = m_audio->open_audio_devices(false);
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

uint32_t rtp_streamer_t::packets_sent() const {
    return process_statistics().rtp_tx.load();
}

uint32_t rtp_streamer_t::packets_received() const {
    return process_statistics().rtp_rx.load();
}

uint32_t rtp_streamer_t::statistics_age_ms() const {
    const uint32_t start = process_statistics().start_tick.load();
    return start ? tick_ms() - start : 0;
}

uint16_t rtp_streamer_t::next_sequence() const {
    return m_sender->next_sequence();
}

uint32_t rtp_streamer_t::next_timestamp() const {
    return m_sender->next_timestamp();
}

}  // namespace voxline
