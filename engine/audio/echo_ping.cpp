#include "audio/echo_ping.h"

namespace voxline {
namespace {

constexpr float PING_SINE = 0.9123704f;
constexpr float PING_AMPLITUDE = 5000.0f;
constexpr int PING_LAST_COUNT = 10;
constexpr float SMOOTHING = 0.025f;

const char* const k_state_names[] = {
    "NEUTRAL_PING_STATE",
    "WAITING_FOR_FIRST_PING",
    "LOOKING_FOR_BETTER_PING",
    "PING_NOT_SEEN_ON_FIRST_TRY",
    "PING_FAILED",
    "GOOD_PING",
};

}  // namespace

const char* ping_state_name(int state) {
    constexpr int count = static_cast<int>(sizeof k_state_names / sizeof k_state_names[0]);
    return state >= 0 && state < count ? k_state_names[state] : "Unknown";
}

void ping_generator::run(float* block) {
    if (m_counter < 0) return;
    if (m_counter == 0) m_oscillator.reset();
    if (m_counter == 2 || m_counter == 3) {
        for (int i = 0; i < ECHO_BLOCK; ++i) {
            m_oscillator.step(PING_SINE);
            block[i] += PING_AMPLITUDE * m_oscillator.x;
        }
        m_oscillator.renormalise();
    }
    m_counter = m_counter >= PING_LAST_COUNT ? -1 : m_counter + 1;
}

void ping_detector::reset() {
    m_oscillator.reset();
    m_i_prev = m_q_prev = 0;
    m_largest = 0;
    m_largest_index = -1;
    m_previous_power = m_previous_ratio = 0;
    m_best_peak = m_best_ratio = 0;
    m_rising = false;
}

void ping_detector::observe(const float* block, float two_levels, int index) {
    float i_sum = 0, q_sum = 0;
    for (int k = 0; k < ECHO_BLOCK; ++k) {
        m_oscillator.step(-PING_SINE);
        i_sum += block[k] * m_oscillator.x;
        q_sum += block[k] * m_oscillator.y;
    }
    m_oscillator.renormalise();
    const float i = i_sum / ECHO_BLOCK, q = q_sum / ECHO_BLOCK;
    const float power = (i + m_i_prev) * (i + m_i_prev) + (q + m_q_prev) * (q + m_q_prev);
    m_i_prev = i;
    m_q_prev = q;

    if (power > m_largest) {
        m_largest = power;
        m_largest_index = index;
    }
    float ratio = 1e10f;
    if (two_levels >= 0.1f) {
        ratio = (two_levels - power) / two_levels;
        if (ratio < 0.0001f) ratio = 0.0001f;
    }
    if (power > m_previous_power) {
        m_rising = true;
    } else if (power < m_previous_power && m_rising) {
        m_rising = false;
        if (m_previous_power > m_best_peak) {
            m_best_peak = m_previous_power;
            m_best_ratio = m_previous_ratio;
        }
    }
    m_previous_power = power;
    m_previous_ratio = ratio;
}

void ping_notch::run(float* block, bool closing) {
    constexpr float c = -0.39299f, s = 0.87588f, input = 0.08f;
    const float target = closing ? 0.0f : 1.0f;
    for (int k = 0; k < ECHO_BLOCK; ++k) {
        const float v = c * m_v - s * m_w + input * block[k];
        m_w = s * m_v + c * m_w;
        m_v = v;
        m_gain += SMOOTHING * (target - m_gain);
        block[k] -= m_gain * v;
    }
}

}  // namespace voxline
