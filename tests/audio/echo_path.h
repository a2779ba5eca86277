// A pure-delay acoustic path for the echo tests and benchmarks: what the
// speaker played comes back into the microphone later, attenuated, added to
// the near talker.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace voxline::test {

class echo_path {
  public:
    echo_path(int delay_ms, double atten_db)
        : m_delay(static_cast<size_t>(delay_ms) * 8), m_gain(std::pow(10.0, -atten_db / 20.0)) {}

    // The microphone's 80 samples for this tick; call before speaker().
    void microphone(const int16_t* near, int16_t* out) const {
        for (size_t i = 0, n = m_played.size(); i < 80; ++i, ++n) {
            const double echo = n >= m_delay && n - m_delay < m_played.size()
                                    ? m_gain * m_played[n - m_delay]
                                    : 0.0;
            out[i] = static_cast<int16_t>(std::clamp(std::lround(near[i] + echo), -32768L, 32767L));
        }
    }
    void move(int delay_ms) { m_delay = static_cast<size_t>(delay_ms) * 8; }  // the room changes
    void speaker(const int16_t* played) { m_played.insert(m_played.end(), played, played + 80); }

  private:
    size_t m_delay;
    double m_gain;
    std::vector<int16_t> m_played;
};

inline double energy(const std::vector<int16_t>& s, size_t from = 0) {
    double sum = 0;
    for (size_t i = from; i < s.size(); ++i) sum += double(s[i]) * s[i];
    return sum;
}

inline double decibels(double ratio) {
    return 10.0 * std::log10(ratio);
}

// Power of one frequency in samples [from, to) (Goertzel).
inline double tone_power(const std::vector<int16_t>& s, double hz, size_t from, size_t to) {
    const double k = 2.0 * std::cos(2.0 * M_PI * hz / 8000.0);
    double a = 0, b = 0;
    for (size_t i = from; i < std::min(to, s.size()); ++i) {
        const double c = s[i] + k * a - b;
        b = a;
        a = c;
    }
    return a * a + b * b - k * a * b;
}

}  // namespace voxline::test
