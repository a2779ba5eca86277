// Absolute-deadline arithmetic shared by the periodic timer and the virtual sound card.
#pragma once

#include <cstdint>

namespace voxline {

struct periodic_step {
    int ticks = 0;              // ticks to run now, the on-time one included
    int64_t next_deadline = 0;  // the deadline to sleep until afterwards
};

// At `now`, with the next tick due at `deadline`, runs the ticks that fell due, at most
// 1 + max_late of them; ticks beyond that are skipped, keeping the deadlines' phase.
inline periodic_step periodic_due(int64_t now, int64_t deadline, int64_t period, int max_late) {
    if (now < deadline) return {0, deadline};
    const int64_t due = (now - deadline) / period + 1;
    const int64_t run = due < 1 + max_late ? due : 1 + max_late;
    return {static_cast<int>(run), deadline + due * period};
}

}  // namespace voxline
