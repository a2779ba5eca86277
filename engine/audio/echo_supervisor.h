// The session's side of the echo canceller: sets it up at every enable, runs
// the delay-estimation ping on calibrating calls (0.5 s after the enable, a
// failed attempt retried after 10 s, three attempts at most) and hands a
// measured delay to the session's mailbox.
//
// Owner: the call's media extras. Thread: the RTP thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/echo_canceller.h"
#include "audio/media_seams.h"

namespace voxline {

constexpr uint32_t ECHO_LATENCY_CALIBRATE = 0xFFFFFFFF;

class echo_supervisor {
  public:
    using factory = std::unique_ptr<echo_canceller_base> (*)(int delay_ms, bool notch_mode);
    explicit echo_supervisor(factory make = make_echo_canceller) : m_make(make) {}

    void set_up(const echo_setup& setup);
    void drop() { m_canceller.reset(); }
    // One tick's supervision of the ping.
    void supervise();
    echo_stage* stage() { return m_canceller.get(); }

    bool ping_active() const { return m_ping_active; }
    uint32_t latency_ms() const { return m_latency_ms; }

  private:
    void take_good_ping(int delay_ms);
    void take_failed_ping();

    factory m_make;
    std::unique_ptr<echo_canceller_base> m_canceller;
    void (*m_publish)(void*, int) = nullptr;
    void* m_context = nullptr;
    uint32_t m_latency_ms = 0;
    bool m_ping_active = false;
    uint32_t m_countdown = 0;
    int m_last_state = NEUTRAL_PING_STATE;
    int m_failures = 0;
};

}  // namespace voxline
