// The delay-estimation ping: a 20 ms burst of 2537 Hz mixed into the speaker
// signal, its search in the microphone signal, and the notch that keeps it out
// of what is sent. Single precision, fixed size, no allocation.
#pragma once

#include <cstdint>

namespace voxline {

constexpr int ECHO_BLOCK = 80;

enum ping_state : int {
    NEUTRAL_PING_STATE = 0,
    WAITING_FOR_FIRST_PING = 1,
    LOOKING_FOR_BETTER_PING = 2,
    PING_NOT_SEEN_ON_FIRST_TRY = 3,
    PING_FAILED = 4,
    GOOD_PING = 5,
};

// "Unknown" for a value outside the table.
const char* ping_state_name(int state);

// A unit phasor turning by 2537 Hz at 8 kHz, one way or the other.
struct ping_oscillator {
    float x = 1.0f;
    float y = 0.0f;
    void reset() {
        x = 1.0f;
        y = 0.0f;
    }
    void step(float sine) {
        constexpr float c = -0.4093658f;
        const float nx = c * x - sine * y;
        y = sine * x + c * y;
        x = nx;
    }
    // Rounding would slowly change the amplitude; pull it back to 1.
    void renormalise() {
        const float k = 1.0f + (1.0f - x * x - y * y) * 0.5f;
        x *= k;
        y *= k;
    }
};

// Adds the burst to the speaker blocks: silent two blocks, 20 ms of tone,
// then idle after the counter passes 10.
class ping_generator {
  public:
    void start() { m_counter = 0; }
    void run(float* block);

  private:
    int m_counter = -1;
    ping_oscillator m_oscillator;
};

// Looks for the burst in microphone blocks, block index by block index.
class ping_detector {
  public:
    void reset();
    // One conditioned block at detection index `index`; `two_levels` is the
    // sum of this block's and the previous block's mean squares.
    void observe(const float* block, float two_levels, int index);
    int largest_index() const { return m_largest_index; }
    float best_peak() const { return m_best_peak; }
    float best_ratio() const { return m_best_ratio; }

  private:
    ping_oscillator m_oscillator;
    float m_i_prev = 0, m_q_prev = 0;
    float m_largest = 0;
    int m_largest_index = -1;
    float m_previous_power = 0, m_previous_ratio = 0;
    float m_best_peak = 0, m_best_ratio = 0;
    bool m_rising = false;
};

// A 2537 Hz resonator whose output is subtracted from the sent block.
class ping_notch {
  public:
    void reset() { m_v = m_w = 0.0f; }
    // `closing`: the last blocks of the window, where the notch fades out.
    void run(float* block, bool closing);

  private:
    float m_v = 0, m_w = 0;
    float m_gain = 0;
};

}  // namespace voxline
