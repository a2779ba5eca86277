// The call's echo suppressor with its delay-estimation ping, run by the RTP
// thread on every 10 ms element: the microphone element before it is encoded
// (process_near_end) and the received element before it is played
// (process_far_end). Single precision; nothing is allocated after creation.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/echo_ping.h"
#include "audio/echo_suppressor.h"
#include "audio/tick_hooks.h"

namespace voxline {

struct ping_status {
    int state;
    int delay_ms;
};

// What the session's supervision needs of a canceller; tests script it.
class echo_canceller_base : public echo_stage {
  public:
    virtual void start_ping() = 0;
    virtual void set_delay(int ms) = 0;
    virtual ping_status get_ping_status() const = 0;
};

struct echo_canceller_config {
    int delay_ms = 130;
    int ping_window_ms = 500;
    bool custom_double_talk_window = true;
    int window_before_ms = 60;
    int window_after_ms = 60;
    bool notch_mode = false;  // else the send path is muted during the ping
};

class echo_canceller final : public echo_canceller_base {
  public:
    explicit echo_canceller(const echo_canceller_config& config);

    void start_ping() override;
    void set_delay(int ms) override;
    ping_status get_ping_status() const override;
    void process_near_end(int16_t* element) override;
    void process_far_end(int16_t* element) override;

    int delay_blocks() const { return m_delay; }
    const echo_suppressor& suppressor() const { return m_suppressor; }

  private:
    enum class ping_next { again, stop };
    ping_next evaluate_ping();

    int m_delay;
    const int m_default_delay;
    const int m_ping_window;
    const bool m_disable_send_during_ping;

    dc_filter m_near_filter{0.98f};
    dc_filter m_far_filter{0.98f};
    float m_near_level = 0, m_far_level = 0;

    bool m_ping_requested = false;
    int m_detection = -1;
    int m_state = NEUTRAL_PING_STATE;
    ping_generator m_generator;
    ping_detector m_detector;
    ping_notch m_notch;
    float m_saved_peak = 0, m_saved_ratio = 0;
    int m_saved_delay = 0;

    echo_suppressor m_suppressor;
};

std::unique_ptr<echo_canceller_base> make_echo_canceller(int delay_ms, bool notch_mode);

}  // namespace voxline
