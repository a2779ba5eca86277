#include "audio/echo_canceller.h"

#include <algorithm>
#include <cstdint>

namespace voxline {
namespace {

constexpr int MAX_DELAY_BLOCKS = 100;
constexpr int FALLBACK_DELAY_BLOCKS = 10;
constexpr int MAX_WINDOW_BLOCKS = 100;
constexpr int FALLBACK_WINDOW_BLOCKS = 50;
constexpr float PING_THRESHOLD = 6250.0f;
constexpr float RATIO_LIMIT = 0.5f;
// The power's peak comes this many blocks after the ping left the speaker.
constexpr int DETECTION_LEAD = 4;

constexpr int DEFAULT_WINDOW_BLOCKS = 6;

int window_blocks(bool custom, int ms) {
    return custom && ms >= 0 && ms / 10 < MAX_DELAY_BLOCKS ? ms / 10 : DEFAULT_WINDOW_BLOCKS;
}

void to_float(const int16_t* in, float* out) {
    for (int i = 0; i < ECHO_BLOCK; ++i) out[i] = in[i];
}

// Saturates, then truncates toward zero.
void to_int16(const float* in, int16_t* out) {
    for (int i = 0; i < ECHO_BLOCK; ++i)
        out[i] = static_cast<int16_t>(std::clamp(in[i], -32768.0f, 32767.0f));
}

}  // namespace

echo_canceller::echo_canceller(const echo_canceller_config& config)
    : m_delay(config.delay_ms / 10 >= 0 && config.delay_ms / 10 <= MAX_DELAY_BLOCKS
                  ? config.delay_ms / 10
                  : FALLBACK_DELAY_BLOCKS),
      m_default_delay(m_delay),
      m_ping_window(config.ping_window_ms / 10 > 0 &&
                            config.ping_window_ms / 10 <= MAX_WINDOW_BLOCKS
                        ? config.ping_window_ms / 10
                        : FALLBACK_WINDOW_BLOCKS),
      m_disable_send_during_ping(!config.notch_mode),
      m_suppressor(window_blocks(config.custom_double_talk_window, config.window_before_ms),
                   window_blocks(config.custom_double_talk_window, config.window_after_ms)) {}

void echo_canceller::start_ping() {
    m_state = NEUTRAL_PING_STATE;
    m_ping_requested = true;
}

void echo_canceller::set_delay(int ms) {
    // Rounded up to whole blocks; held to a range whose ms fit an int.
    m_delay = static_cast<int>(std::clamp<int64_t>((int64_t{ms} + 9) / 10, -1000, 1000));
}

ping_status echo_canceller::get_ping_status() const {
    return {m_state, m_delay * 10};
}

void echo_canceller::process_far_end(int16_t* element) {
    float block[ECHO_BLOCK];
    to_float(element, block);
    m_far_filter.run(block);
    m_far_level = mean_square(block);
    m_suppressor.receive(block);
    if (m_ping_requested) {
        m_ping_requested = false;
        m_generator.start();
        m_detection = 0;
        m_state = WAITING_FOR_FIRST_PING;
    }
    m_generator.run(block);
    to_int16(block, element);
}

void echo_canceller::process_near_end(int16_t* element) {
    float block[ECHO_BLOCK];
    to_float(element, block);
    m_near_filter.run(block);
    const float level = mean_square(block);
    const float two_levels = level + m_near_level;
    m_near_level = level;

    const bool detecting = m_detection >= 0;
    if (detecting) {
        if (m_detection == 0) {
            m_detector.reset();
            m_notch.reset();
        }
        m_detector.observe(block, two_levels, m_detection);
        if (m_detector.largest_index() > DETECTION_LEAD)
            m_delay = m_detector.largest_index() - DETECTION_LEAD;
    }

    m_suppressor.send(block, m_delay, detecting && m_disable_send_during_ping);

    if (detecting) {
        m_notch.run(block, m_detection >= m_ping_window - 1);
        if (++m_detection > m_ping_window) {
            if (evaluate_ping() == ping_next::again) {
                m_generator.start();
                m_detection = 0;
            } else {
                m_detection = -1;
            }
        }
    }
    to_int16(block, element);
}

echo_canceller::ping_next echo_canceller::evaluate_ping() {
    const float peak = m_detector.best_peak();
    const float ratio = m_detector.best_ratio();
    const auto save = [&] {
        m_saved_peak = peak;
        m_saved_ratio = ratio;
        m_saved_delay = m_delay;
    };
    const auto decide = [&] {
        if (ratio >= RATIO_LIMIT) {
            m_state = LOOKING_FOR_BETTER_PING;
            return ping_next::again;
        }
        m_state = GOOD_PING;
        return ping_next::stop;
    };
    switch (m_state) {
        case WAITING_FOR_FIRST_PING:
            save();
            if (peak <= PING_THRESHOLD) {
                m_state = PING_NOT_SEEN_ON_FIRST_TRY;
                m_delay = m_default_delay;
                return ping_next::again;
            }
            return decide();
        case PING_NOT_SEEN_ON_FIRST_TRY:
            save();
            if (peak <= PING_THRESHOLD) {
                m_state = PING_FAILED;
                m_delay = m_default_delay;
                return ping_next::stop;
            }
            return decide();
        case LOOKING_FOR_BETTER_PING:
            m_state = GOOD_PING;
            if (!(peak > PING_THRESHOLD && ratio < m_saved_ratio)) m_delay = m_saved_delay;
            return ping_next::stop;
        default:
            return ping_next::stop;
    }
}

std::unique_ptr<echo_canceller_base> make_echo_canceller(int delay_ms, bool notch_mode) {
    echo_canceller_config config;
    config.delay_ms = delay_ms;
    config.notch_mode = notch_mode;
    return std::make_unique<echo_canceller>(config);
}

}  // namespace voxline
