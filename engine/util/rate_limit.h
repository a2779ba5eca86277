// Keeps a flood of identical reports to one per window and key: the first
// report goes through, its repeats within the window are only counted, and
// the next report let through carries that count.
// Not locked: each instance belongs to one thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace voxline {

class rate_limit {
  public:
    // now_ms: monotonic milliseconds (tests pass a fake).
    rate_limit(int64_t window_ms, int64_t (*now_ms)());

    // True when a report for key may be written now; held_back then receives
    // how many reports for key were held back since the last one written.
    bool admit(uint64_t key, int* held_back);

  private:
    struct slot {
        uint64_t key = 0;
        int64_t window_start = 0;
        int held_back = 0;
        bool used = false;
    };
    // Keys tracked at once; spoofed senders beyond that only cost extra lines.
    static constexpr size_t SLOTS = 64;

    slot& slot_for(uint64_t key, int64_t now, bool* fresh);

    int64_t m_window_ms;
    int64_t (*m_now_ms)();
    slot m_slots[SLOTS];
};

// " (%d more since)" for a count above 0, else an empty text.
const char* more_since_text(int held_back, char* out, size_t out_size);

}  // namespace voxline
