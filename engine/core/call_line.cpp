// The call control's line record: the flags the line state is derived from,
// the watchdog and statistics timing and the echo-delay expectation. Call
// thread only, apart from the two atomics the command methods read.
#include <algorithm>

#include "core/call_control.h"
#include "util/vxl_log.h"

namespace voxline {

void call_control::line_changed() {
    line_flags flags;
    flags.in_call = m_in_call.load();
    flags.ringing = m_ringing.load();
    flags.voice_path_active = m_line.voice_path_active;
    flags.ring_back = m_line.ring_back;
    flags.releasing = m_line.releasing;
    const line_state state = derive_line_state(flags);
    if (state == m_line.state) return;
    VXL_LOG(LOG_STATISTICAL, "Line state %s -> %s", line_state_name(m_line.state),
            line_state_name(state));
    m_line.state = state;
}

void call_control::set_in_call(bool on) {
    m_in_call.store(on);
    if (on) {
        m_line.ring_back = false;
        m_line.releasing = false;
    }
    line_changed();
}

void call_control::set_ringing(bool on) {
    m_ringing.store(on);
    if (on) m_line.releasing = false;
    line_changed();
}

void call_control::set_voice_path_active() {
    m_line.voice_path_active = true;
    line_changed();
}

void call_control::end_release() {
    if (!m_line.releasing) return;
    m_line.releasing = false;
    line_changed();
}

void call_control::reset_line(uint32_t now) {
    m_in_call.store(false);
    m_ringing.store(false);
    m_line.voice_path_active = false;
    m_line.ring_back = false;
    m_line.releasing = false;
    m_line.receive_seen = false;
    m_line.last_receive_tick = now;
    line_changed();
}

void call_control::keep_remote_rtp(const char* address, int port) {
    m_line.remote_rtp_address = address ? address : "";
    m_line.remote_rtp_port = port;
}

void call_control::note_contact(uint32_t now) {
    m_line.receive_seen = true;
    m_line.last_receive_tick = now;
}

bool call_control::watchdog_expired(uint32_t now) const {
    return ms_until_watchdog(now) == 0;
}

int64_t call_control::ms_until_watchdog(uint32_t now) const {
    // The watchdog starts with the first datagram the call agent sent.
    if (!m_audit_on || !m_line.receive_seen) return -1;
    const int64_t limit = static_cast<int64_t>(m_audit_timeout_s) * 1000;
    const int64_t silent = static_cast<int64_t>(now - m_line.last_receive_tick);
    // It fires once more than the limit has passed.
    return std::max<int64_t>(limit - silent + 1, 0);
}

int64_t call_control::ms_until_statistics(uint32_t now) const {
    const int interval = m_settings.statistics_interval_ms;
    if (interval <= 0 || !m_in_call.load()) return -1;
    const int64_t since = static_cast<int64_t>(now - m_line.last_statistics_tick);
    return std::max<int64_t>(interval - since, 0);
}

void call_control::expect_echo_delay() {
    m_echo_delay_ms.store(-1);
    m_line.report_delay = true;
}

void call_control::echo_delay_reported(int ms) {
    m_line.report_delay = false;
    m_echo_delay_ms.store(ms);
}

}  // namespace voxline
