#include "audio/echo_suppressor.h"

#include <algorithm>
#include <cmath>

namespace voxline {
namespace {

constexpr float SMOOTHING = 0.025f;
constexpr float LIMIT = 16384.0f;
constexpr float CLIP = 32767.0f;

// A larger input is taken at once; a smaller one is approached by `fall`.
float peak_follow(float value, float input, float fall) {
    return input > value ? input : value + fall * (input - value);
}

// Falls quickly towards a quieter input, creeps up by (1 + q * k) per block.
float floor_track(float value, float input, float q, float k, float low, float high) {
    value = input < value ? value + 0.03f * (input - value) : value * (1.0f + q * k);
    return std::clamp(value, low, high);
}

float step(float x, float y, float floor) {
    const float ratio = x / (y + 0.001f);
    if (ratio > 8.0f) return 1.0f;
    if (ratio > 4.0f) return 1.0f - 0.4f * (1.0f - floor);
    if (ratio > 2.0f) return 1.0f - 0.7f * (1.0f - floor);
    return floor;
}

// The gain the suppressor allows while the other side talks.
float cap_for(float r) {
    return r > 0.1f && 0.1f / r < 0.7f ? 0.1f / r : 0.7f;
}

// Scales a block by a gain whose applied value follows it sample by sample.
void scale(float* block, float gain, float& applied) {
    for (int i = 0; i < ECHO_BLOCK; ++i) {
        applied += SMOOTHING * (gain - applied);
        block[i] *= applied;
    }
}

// Bands of the far level against 80000 x 1, 4, 16, 64.
int far_band(float mw) {
    if (mw <= 80000.0f) return 0;
    if (mw <= 320000.0f) return 1;
    if (mw <= 1280000.0f) return 2;
    if (mw <= 5120000.0f) return 3;
    return 4;
}
constexpr float k_far_activity[] = {0.0f, 0.04f, 0.1f, 0.4f, 1.0f};
constexpr float k_echo_only[] = {1.0f, 0.6f, 0.3f, 0.01f, 0.0f};
constexpr float k_floor_rate[] = {1.0f, 0.6f, 0.1f, 0.01f, 0.0f};

}  // namespace

void dc_filter::run(float* block) {
    for (int i = 0; i < ECHO_BLOCK; ++i) {
        const float x = block[i];
        y_prev = pole * y_prev + x - x_prev;
        x_prev = x;
        block[i] = y_prev;
    }
    // Long silence would otherwise decay into denormals, which are slow.
    if (std::fabs(y_prev) < 1e-12f) y_prev = 0.0f;
}

float mean_square(const float* block) {
    float sum = 0;
    for (int i = 0; i < ECHO_BLOCK; ++i) sum += block[i] * block[i];
    return sum / ECHO_BLOCK;
}

void echo_suppressor::receive(float* block) {
    m_receive_filter.run(block);

    float peak = 0;
    for (int i = 0; i < ECHO_BLOCK; ++i) peak = std::max(peak, std::fabs(block[i]));
    const float target = peak > LIMIT ? LIMIT / peak : 1.0f;
    m_limit_gain = target < m_limit_gain ? target : m_limit_gain + 0.125f * (target - m_limit_gain);
    scale(block, m_limit_gain, m_limit_applied);
    for (int i = 0; i < ECHO_BLOCK; ++i) block[i] = std::clamp(block[i], -CLIP, CLIP);

    update_receive_gain(std::max(mean_square(block), 1.0f));
    scale(block, m_receive_gain, m_receive_applied);
    m_lg = mean_square(block);
}

void echo_suppressor::update_receive_gain(float lf) {
    m_f1 = peak_follow(m_f1, lf, 0.25f);
    m_f2 = peak_follow(m_f2, lf, 0.0625f);
    m_nf = floor_track(m_nf, lf, 0.0056f, 1.0f, 1000.0f, 3162000.0f);

    const float cap = cap_for(m_r);
    const float g_r = step(m_f2, m_t2, 0.7f);
    float target, rate;
    if (!m_near) {
        target = g_r;
        rate = target > m_receive_gain ? 0.5f : 0.125f;
    } else {
        const float e = m_r * m_send_gain * m_send_gain * m_f1;
        float v = cap;
        if (e > 0.126f * m_sref) v = cap * std::sqrt(0.126f * m_sref / e);
        v = std::clamp(v, 0.001f, 1.0f);
        target = std::min(v, g_r);
        rate = 0.5f;
    }
    m_receive_gain += rate * (target - m_receive_gain);
}

void echo_suppressor::send(float* block, int delay_blocks, bool hold_far) {
    m_send_filter.run(block);
    const float ln = mean_square(block);

    // Far history and the window around the echo delay ("blocks back" 0 is
    // the entry stored now).
    m_ff = peak_follow(m_ff, m_lg, 0.75f);
    m_fs = peak_follow(m_fs, m_lg, 0.19f);
    m_head = (m_head + HISTORY - 1) % HISTORY;
    m_history[m_head] = (0.9f * m_fs + m_ff) / 1.9f;
    const int delay = std::clamp(delay_blocks, 0, HISTORY - 1);
    const int first = std::max(delay - m_before + 1, 1);
    const int last = std::clamp(delay + m_after + 1, first, HISTORY - 1);
    float mw = 0;
    for (int k = first; k <= last; ++k) mw = std::max(mw, far_history(k));
    const float he = far_history(last);
    float d1 = ln - mw * m_erl_a;
    float d2 = ln - mw * m_erl_b;
    if (d1 <= 0) d1 = 1.0f;
    if (d2 <= 0) d2 = 1.0f;

    m_p1 = peak_follow(m_p1, ln, 0.25f);

    if (4.0f * m_r * mw > 2.5e8f) m_hold = 6;
    if (m_hold > 0) d1 = d2 = m_q1 = m_q2 = 0;

    d1 = std::max(d1, m_nn);
    d2 = std::max(d2, m_nn);
    m_q1 = peak_follow(m_q1, d1, 0.125f);
    m_q2 = peak_follow(m_q2, d2, 0.25f);
    if (m_q1 > ln) m_q1 += 0.5f * (ln - m_q1);
    if (m_q2 > ln) m_q2 += 0.5f * (ln - m_q2);

    const float e = m_r * mw;
    const float a = m_q2 <= m_t1               ? 1.0f
                    : m_q2 <= m_t1 + 0.25f * e ? 0.4f
                    : m_q2 <= m_t1 + e         ? 0.18f
                    : m_q2 <= m_t1 + 4.0f * e  ? 0.08f
                                               : 0.04f;
    m_activity = a < m_activity ? a : m_activity + 0.06f * (a - m_activity);

    const int band = far_band(mw);
    float w = k_far_activity[band], y = k_echo_only[band], k_n = k_floor_rate[band];
    if (mw < m_t2) {
        w = 0;
        y = k_n = 1.0f;
    } else if (mw < 4.0f * m_t2) {
        w *= 0.5f;
    }
    if (ln > 16.0f * m_t1)
        y = 0;
    else if (ln > 4.0f * m_t1)
        y = std::min(y, 0.1f);
    m_confidence = y > m_confidence ? y : 0.9375f * m_confidence + 0.0625f * y;
    if (m_hold > 0) w = std::min(w, m_r <= 1.0f ? 0.01f : 0.1f);

    m_nn = floor_track(m_nn, ln, 0.005f, (0.25f + 0.75f * m_activity) * k_n, 100.0f, 1e7f);
    m_t1 = 4.0f * m_nn + 4000.0f;
    m_t2 = 4.0f * m_nf + 4000.0f;

    const float x = std::max(m_p1, m_nn);
    const float ns = 0.68f * x <= 1.35f * m_nn ? 0.32f * x : x - 1.35f * m_nn;
    float pmax = 0;
    for (float s : m_speech) pmax = std::max(pmax, s);
    const float nsmax = std::max(pmax, ns);
    m_speech[m_speech_head] = ns;
    m_speech_head = (m_speech_head + 1) % SPEECH_HISTORY;

    float far = he, near = nsmax;
    if (far < 1.0f) {
        far = 1.0f;
        near = std::max(near, 1.0f);
    }
    const float r = std::clamp(near / far, 0.005f, 400.0f);
    const float d = std::min(r / m_r, 5.0f);
    if (r > m_r)
        m_r *=
            1.0f + 0.005f * w + 0.1f * (d - 1.0f) * (m_activity + 1.0f) * 0.5f * w * m_confidence;
    else
        m_r *= 1.0f + 0.13f * (d - 1.0f);
    m_r = std::clamp(m_r, 0.005f, 400.0f);
    m_erl_a = 9.6f * m_r;
    m_erl_b = 12.8f * (0.05f + m_r * pmax);

    if (hold_far) {
        m_near = false;
    } else {
        const float u = m_near ? m_f1 : std::max(m_f1, mw);
        const float fe = std::max(0.0f, u - 0.8f * m_nf);
        const float ne = std::max(0.0f, m_q1 - 0.8f * m_nn);
        if (!m_near && 0.25f * ne >= 0.5f * fe + 100.0f && m_hold == 0)
            m_near = true;
        else if (m_near && 0.5f * fe > ne + 100.0f)
            m_near = false;
    }

    m_sref = 0.6f * m_nn + 0.35f * std::max(0.0f, m_q1 - 2.0f * m_nn);

    const float g_s = step(m_q1, m_t1, 0.5f);
    float target, rate;
    if (m_near) {
        target = g_s;
        rate = g_s > m_send_gain ? 0.5f : 0.125f;
    } else {
        const float echo = m_r * mw;
        float v;
        if (echo <= 0.063f * m_sref)
            v = cap_for(m_r);
        else if (echo < m_sref)
            v = 0.7f * (m_sref - echo) / (m_sref - 0.063f * m_sref);
        else
            v = 0.001f;
        if (v >= m_send_gain) {
            target = std::min(v, g_s);
            rate = 0.5f;
        } else if (v < g_s) {
            target = v;
            rate = 0.5f;
        } else {
            target = g_s;
            rate = 0.125f;
        }
    }
    m_send_gain += rate * (target - m_send_gain);

    // One block of delay on the send path.
    for (int i = 0; i < ECHO_BLOCK; ++i) std::swap(block[i], m_previous[i]);
    scale(block, m_send_gain, m_send_applied);
    if (m_hold > 0) --m_hold;
}

}  // namespace voxline
