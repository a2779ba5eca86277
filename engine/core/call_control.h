// The call control: one per successful configuration. It holds the session's
// settings, the state of the line and the client's event interface, owns the
// media session, and turns internal call-progress events into client events.
// Everything but the reference count, the echo-delay setter and the reads of
// in_call() and ringing() belongs to the call thread.
#pragma once

#include <voxline/voxline.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/line_state.h"

namespace voxline {

class CTarnwickVXL;
class mgcp_endpoint;
class rtp_streamer_t;
class udp_socket;

struct call_control_settings {
    int media_codec = 0;  // 0 G.729, 1 G.723.1, 2 G.711 mu-law, 3 G.711 A-law
    std::string proxy_list;
    int proxy_port = 0;
    int frames_per_packet = 1;
    int input_ms = 0;
    int jitter_size_ms = 0;
    int jitter_threshold_ms = 0;
    int statistics_interval_ms = 0;
    bool echo_cancelling = false;
    bool notch_while_measuring = false;
};

// Internal call-progress events of handle_call_progress_event.
enum call_progress_event : int {
    CPE_CONNECTED = 0,
    CPE_REJECTED = 1,
    CPE_ROLL_OVER = 2,
    CPE_RINGING = 3,
    CPE_ANSWERED = 4,
    CPE_PLAY_TONE = 5,
    CPE_DISCONNECTED = 6,
    CPE_LINK_DOWN = 7,
    CPE_CALL_AGENT = 8,
    CPE_LOGOFF = 9,
    CPE_STATUS = 10,
};

constexpr int AUDIT_DEFAULT_TIMEOUT_S = 180;
constexpr int AUDIT_MINIMUM_TIMEOUT_S = 20;
constexpr int AUDIT_RETRANSMIT_DELTA_S = 30;

class call_control {
  public:
    call_control(const call_control_settings& settings, CTarnwickVXL* owner,
                 IVXLCallback* callback);
    call_control(const call_control&) = delete;
    call_control& operator=(const call_control&) = delete;

    uint32_t add_ref();
    uint32_t release();

    // --- setters used by the configuration ---
    void set_call_agent_list(const char* list);
    void set_ports(int local_mgcp_port, int remote_mgcp_port);
    void set_nat_info_port(int port);
    void set_caller(const char* number, const char* name);
    void set_credentials(const char* extension, const char* account, const char* pin,
                         bool scramble);
    void set_audit(bool on, int timeout_s);
    void set_echo_delay(int ms);  // -1 asks for a new measurement

    // --- read by the command methods under the method lock ---
    bool in_call() const { return m_in_call.load(); }
    bool ringing() const { return m_ringing.load(); }

    // --- call thread ---
    // Takes the client's event interface for the call thread; false when there is none.
    bool take_callback();
    // Drops the event interface; no event is raised afterwards.
    void uninit_interface();
    void handle_call_progress_event(int event, int tone = 0);
    // The client's interface for MessagePrint; call with callback_lock() held.
    IVXLCallback* callback_for_messages();
    // Raises a generic event and frees a string the client returned.
    void raise_generic_event(int event, int param1, int param2, const char* text3);
    // Asks the endpoint for its graceful restart (the logoff); defined by the call thread.
    void send_graceful_restart();

    const std::string& current_call_agent() const { return m_current_call_agent; }
    // Moves to the next entry of the call-agent list; false when there is none.
    bool next_call_agent();

    int local_mgcp_port() const { return m_local_mgcp_port; }
    int remote_mgcp_port() const { return m_remote_mgcp_port; }
    int nat_info_port() const { return m_nat_info_port; }
    // Behind-NAT flag: set by the test after logon, given to every media open.
    bool behind_nat() const { return m_behind_nat; }
    // The test after the restart RSIP (override file or a query from port
    // 3400); raises the behind-NAT event when it finds one. Up to 1.8 s.
    void test_behind_nat();
    const char* caller_number() const { return m_caller_number; }
    const char* caller_name() const { return m_caller_name; }
    const std::string& extension() const { return m_extension; }
    const std::string& account() const { return m_account; }
    const std::string& pin() const { return m_pin; }
    bool scrambled() const { return m_scrambled; }
    bool audit_on() const { return m_audit_on; }
    int audit_timeout_s() const { return m_audit_timeout_s; }
    const call_control_settings& settings() const { return m_settings; }
    const std::string& module_directory() const { return m_module_directory; }

    void set_status(int status, int parameter) {
        m_status = status;
        m_status_parameter = parameter;
    }
    void set_incoming_caller(const char* number);

    // --- the line, call thread only; each change is logged once as a line state ---
    void set_in_call(bool on);
    void set_ringing(bool on);
    bool voice_path_active() const { return m_line.voice_path_active; }
    void set_voice_path_active();
    // Back to idle for a new session with a call agent.
    void reset_line(uint32_t now);

    // Remote RTP of an incoming call, kept until it is answered.
    void keep_remote_rtp(const char* address, int port);
    const std::string& remote_rtp_address() const { return m_line.remote_rtp_address; }
    int remote_rtp_port() const { return m_line.remote_rtp_port; }

    // The tone the engine last played itself, for the media layer's restarts.
    int current_tone() const { return m_line.current_tone; }

    // Audit watchdog: every accepted datagram is contact with the call agent.
    void note_contact(uint32_t now);
    bool watchdog_expired(uint32_t now) const;
    // Milliseconds until the watchdog fires, -1 while it does not run.
    int64_t ms_until_watchdog(uint32_t now) const;

    // Periodic statistics during a call: milliseconds until due, -1 when none.
    int64_t ms_until_statistics(uint32_t now) const;
    void note_statistics(uint32_t now) { m_line.last_statistics_tick = now; }

    // Echo delay as the call thread sees it. A session opened to measure the
    // delay expects one report; closing the session drops the expectation.
    int echo_delay_ms() const { return m_echo_delay_ms.load(); }
    bool measure_delay() const { return m_measure_delay.load(); }
    void expect_echo_delay();
    bool echo_delay_expected() const { return m_line.report_delay; }
    void echo_delay_reported(int ms);

    // How long the call thread last chose to sleep (ms, -1 before its first
    // wait); readable from any thread.
    int64_t last_wait_ms() const { return m_last_wait_ms.load(); }
    void note_wait(int64_t ms) { m_last_wait_ms.store(ms); }

    // The media session (m_rtp_streamer) and the endpoint of the running session.
    rtp_streamer_t* media() { return m_rtp_streamer.get(); }
    mgcp_endpoint* endpoint() { return m_endpoint; }
    void set_endpoint(mgcp_endpoint* endpoint) { m_endpoint = endpoint; }
    CTarnwickVXL* owner() { return m_owner; }

    // Stops the stream, returns the line to idle and reports the call's packet counts.
    void close_voice_path();
    // When in call or ringing: closes the voice path and reports on-hook.
    // Returns the endpoint's result (0 when there was nothing to do).
    int onhook_action();

  private:
    // What only the call thread reads and writes.
    struct line_record {
        line_state state = line_state::idle;  // as last logged
        bool voice_path_active = false;
        bool ring_back = false;
        bool releasing = false;
        std::string remote_rtp_address;
        int remote_rtp_port = 0;
        int current_tone = 0;
        bool report_delay = false;
        bool receive_seen = false;
        uint32_t last_receive_tick = 0;
        uint32_t last_statistics_tick = 0;
    };

    ~call_control();
    void play_tone_ourselves(int tone);
    bool callback_usable();
    // Derives the line state from the flags and logs it when it changed.
    void line_changed();
    void end_release();

    std::atomic<uint32_t> m_references{1};
    call_control_settings m_settings;
    CTarnwickVXL* m_owner;
    std::string m_module_directory;

    IVXLCallback* m_callback_stream = nullptr;  // handed over by the configuration
    IVXLCallback* m_callback = nullptr;         // usable on the call thread only
    bool m_callback_released = false;

    std::unique_ptr<rtp_streamer_t> m_rtp_streamer;
    mgcp_endpoint* m_endpoint = nullptr;

    std::atomic<bool> m_in_call{false};
    std::atomic<bool> m_ringing{false};
    line_record m_line;
    std::atomic<int64_t> m_last_wait_ms{-1};
    int m_status = 0;
    int m_status_parameter = 0;

    std::string m_call_agent_list;  // entries separated by ","
    size_t m_call_agent_next = 0;   // where the rest of the list starts
    std::string m_current_call_agent;
    int m_local_mgcp_port = 0;
    int m_remote_mgcp_port = 0;
    int m_nat_info_port = 0;
    bool m_behind_nat = false;
    char m_caller_number[16] = {};
    char m_caller_name[16] = {};
    char m_incoming_caller[16] = {};
    bool m_scrambled = false;
    std::string m_extension;
    std::string m_account;
    std::string m_pin;

    bool m_audit_on = false;
    int m_audit_timeout_s = 0;

    std::atomic<int> m_echo_delay_ms{-1};
    std::atomic<bool> m_measure_delay{false};
};

// Guards the callback-released flag against event delivery, process-wide.
std::mutex& callback_lock();

}  // namespace voxline
