// Digits dialled during a call, played locally through the 10 ms tick: a
// queue filled by the call thread, and the tick's play and mute counters.
// Digits never go out in band; the call agent hears of them by MGCP.
//
// Threads: queue_digits on the call thread; the rest on the RTP thread. The
// queue and its count are under the digit lock; the counters belong to the
// RTP thread (clear() takes the lock as well).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "audio/tick_hooks.h"
#include "audio/tone_images.h"

namespace voxline {

constexpr size_t DIGIT_QUEUE_BYTES = 100;

class digit_player {
  public:
    explicit digit_player(const tone_images& images) : m_images(images) {}

    // 0, or 1 when the string overflowed the queue (nothing queued) or held
    // an invalid character (skipped).
    int queue_digits(const char* digits);

    // --- RTP thread, once per tick ---
    // The tone of a digit that starts now, if any.
    tone_view start_digit();
    bool mic_muted() const { return m_mute_ticks != 0; }
    bool digit_playing() const { return m_playing; }
    void count_down();
    // Enable: the queue emptied and the counters cleared.
    void clear();

    size_t queued();

  private:
    const tone_images& m_images;
    std::mutex m_lock;
    char m_queue[DIGIT_QUEUE_BYTES] = {};
    size_t m_count = 0;
    bool m_playing = false;
    uint32_t m_play_ticks = 0;
    uint32_t m_mute_ticks = 0;
};

}  // namespace voxline
