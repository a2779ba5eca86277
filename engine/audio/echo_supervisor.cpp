#include "audio/echo_supervisor.h"

#include "audio/vxl_statistics.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

constexpr uint32_t CALIBRATION_LATENCY_MS = 130;
constexpr uint32_t TICK_MS = 10;
constexpr uint32_t FIRST_PING_TICKS = 500 / TICK_MS;
constexpr uint32_t RETRY_TICKS = 10000 / TICK_MS;
constexpr int MAX_ATTEMPTS = 3;
constexpr int SMALLEST_PLAUSIBLE_DELAY_MS = 50;

}  // namespace

void echo_supervisor::set_up(const echo_setup& setup) {
    m_publish = setup.publish;
    m_context = setup.context;
    // A redirect keeps what the first enable settled (a calibrating call's
    // latency has been replaced by then), so it never pings again.
    if (!setup.redirect) m_latency_ms = setup.latency_ms;
    if (m_latency_ms != ECHO_LATENCY_CALIBRATE) {
        VXL_LOG(LOG_INFO, "Using %d ms echo canceller latency.", static_cast<int>(m_latency_ms));
        m_ping_active = false;
    } else {
        VXL_LOG(LOG_INFO, "Will calibrate echo canceller");
        m_failures = 0;
        m_latency_ms = CALIBRATION_LATENCY_MS;
        m_ping_active = true;
        m_countdown = FIRST_PING_TICKS;
    }
    m_canceller = m_make(static_cast<int>(m_latency_ms), setup.notch_during_ping);
    m_last_state = m_canceller->get_ping_status().state;
}

void echo_supervisor::supervise() {
    if (!m_ping_active || !m_canceller) return;
    if (m_countdown > 0 && --m_countdown == 0) {
        VXL_LOG(LOG_INFO, "Initiating echo canceller delay-estimation ping");
        m_canceller->start_ping();
    }
    if (m_countdown != 0 || m_last_state == GOOD_PING) return;
    const ping_status status = m_canceller->get_ping_status();
    if (status.state == m_last_state) return;
    m_last_state = status.state;
    VXL_LOG(LOG_INFO, "Ping state=%s(%d), delay=%d ms", ping_state_name(status.state), status.state,
            status.delay_ms);
    if (status.state == GOOD_PING)
        take_good_ping(status.delay_ms);
    else if (status.state == PING_FAILED)
        take_failed_ping();
}

void echo_supervisor::take_good_ping(int delay_ms) {
    if (delay_ms < SMALLEST_PLAUSIBLE_DELAY_MS) {
        VXL_LOG(LOG_ERROR,
                "Echo canceller reported possibly incorrect delay of %d ms.  Using %d ms instead",
                delay_ms, static_cast<int>(CALIBRATION_LATENCY_MS));
        m_canceller->set_delay(CALIBRATION_LATENCY_MS);
        m_latency_ms = CALIBRATION_LATENCY_MS;
    } else {
        if (m_publish) m_publish(m_context, delay_ms);
        VXL_LOG(LOG_INFO, "Echo canceller using delay of %d ms", delay_ms);
        m_latency_ms = static_cast<uint32_t>(delay_ms);
    }
    m_ping_active = false;
    process_statistics().ping_latency.store(m_latency_ms, std::memory_order_relaxed);
}

void echo_supervisor::take_failed_ping() {
    process_statistics().failed_pings.fetch_add(1, std::memory_order_relaxed);
    if (++m_failures < MAX_ATTEMPTS) {
        VXL_LOG(LOG_ERROR, "Ping failed  Will ping again");
        m_countdown = RETRY_TICKS;
        return;
    }
    VXL_LOG(LOG_ERROR, "Ping failed %d times.  Won't ping anymore.  Using delay of %d", m_failures,
            static_cast<int>(m_latency_ms));
    m_canceller->set_delay(static_cast<int>(m_latency_ms));
    m_ping_active = false;
    process_statistics().ping_latency.store(m_latency_ms, std::memory_order_relaxed);
}

}  // namespace voxline
