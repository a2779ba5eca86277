#include "audio/mic_level_meter.h"

#include <cstdlib>

namespace voxline {
namespace {

constexpr int32_t BUFFERS_PER_WINDOW = 11;
constexpr int64_t SAMPLES_PER_BUFFER = 80;

}  // namespace

int32_t mic_level_for_amplitude(int64_t a) {
    if (a >= 27500) return 100;
    if (a > 4000) return static_cast<int32_t>((a - 4000) / 235 * 60 / 100 + 40);
    return static_cast<int32_t>(a / 100);
}

std::optional<int32_t> mic_level_meter::add_buffer(const int16_t* samples, size_t count) {
    int64_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum += std::abs(static_cast<int32_t>(samples[i]));
    if (sum > m_window_largest_sum) m_window_largest_sum = sum;
    if (++m_buffers_in_window < BUFFERS_PER_WINDOW) return std::nullopt;

    std::optional<int32_t> reported;
    if (m_window_largest_sum != m_previous_largest_sum) {
        m_previous_largest_sum = m_window_largest_sum;
        const int32_t level = mic_level_for_amplitude(m_window_largest_sum / SAMPLES_PER_BUFFER);
        if (level != m_last_level) {
            m_last_level = level;
            reported = level;
        }
    }
    m_buffers_in_window = 0;
    m_window_largest_sum = 0;
    return reported;
}

}  // namespace voxline
