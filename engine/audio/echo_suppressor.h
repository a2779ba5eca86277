// The level-driven two-sided echo suppressor: it follows the levels of the
// speaker and microphone blocks, estimates how much of the speaker signal
// comes back after the echo delay, and scales both paths with gains that move
// smoothly. Single precision, fixed size, no allocation.
#pragma once

#include "audio/echo_ping.h"

namespace voxline {

// y[n] = pole * y[n-1] + x[n] - x[n-1], carried across blocks.
struct dc_filter {
    float pole;
    float x_prev = 0, y_prev = 0;
    void run(float* block);
};

float mean_square(const float* block);

class echo_suppressor {
  public:
    // The far history searched around the echo delay: `before` blocks
    // earlier and `after` blocks later.
    echo_suppressor(int window_before_blocks, int window_after_blocks)
        : m_before(window_before_blocks), m_after(window_after_blocks) {}

    // Received audio after conditioning, in place: limited and scaled.
    void receive(float* block);
    // Microphone audio after conditioning, in place: the block is kept and
    // the previous one comes back scaled by the send gain.
    void send(float* block, int delay_blocks, bool hold_far);

    float send_gain() const { return m_send_gain; }
    float receive_gain() const { return m_receive_gain; }
    float return_ratio() const { return m_r; }
    bool near_talking() const { return m_near; }

  private:
    static constexpr int HISTORY = 100;
    static constexpr int SPEECH_HISTORY = 13;

    float far_history(int blocks_back) const { return m_history[(m_head + blocks_back) % HISTORY]; }
    void update_receive_gain(float lf);

    const int m_before, m_after;

    // --- receive side ---
    dc_filter m_receive_filter{0.66f};
    float m_limit_gain = 1.0f, m_limit_applied = 1.0f;
    float m_f1 = 0, m_f2 = 0;
    float m_nf = 10000.0f;
    float m_receive_gain = 1.0f, m_receive_applied = 1.0f;
    float m_lg = 0;  // level of the last block sent to the speaker

    // --- send side ---
    dc_filter m_send_filter{0.9f};
    float m_ff = 0, m_fs = 0;
    float m_history[HISTORY] = {};
    int m_head = 0;
    float m_p1 = 0, m_q1 = 0, m_q2 = 0;
    float m_activity = 1.0f;
    float m_confidence = 0;
    float m_nn = 10000.0f;
    float m_t1 = 10000.0f, m_t2 = 10000.0f;
    float m_speech[SPEECH_HISTORY] = {};
    int m_speech_head = 0;
    float m_r = 20.0f;
    float m_erl_a = 192.0f, m_erl_b = 192.0f;
    int m_hold = 0;
    bool m_near = false;
    float m_sref = 0;
    float m_send_gain = 1.0f, m_send_applied = 1.0f;
    float m_previous[ECHO_BLOCK] = {};
};

}  // namespace voxline
