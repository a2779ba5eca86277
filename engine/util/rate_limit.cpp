#include "util/rate_limit.h"

#include <climits>
#include <cstdio>

namespace voxline {

rate_limit::rate_limit(int64_t window_ms, int64_t (*now_ms)())
    : m_window_ms(window_ms), m_now_ms(now_ms) {}

rate_limit::slot& rate_limit::slot_for(uint64_t key, int64_t now, bool* fresh) {
    slot* free_slot = nullptr;
    slot* oldest = &m_slots[0];
    for (slot& s : m_slots) {
        if (s.used && s.key == key) {
            *fresh = false;
            return s;
        }
        // A slot whose window ended with nothing held back has nothing left to say.
        bool idle = !s.used || (s.held_back == 0 && now - s.window_start >= m_window_ms);
        if (idle && !free_slot) free_slot = &s;
        if (s.window_start < oldest->window_start) oldest = &s;
    }
    slot& s = free_slot ? *free_slot : *oldest;
    s = slot{key, now, 0, true};
    *fresh = true;
    return s;
}

bool rate_limit::admit(uint64_t key, int* held_back) {
    const int64_t now = m_now_ms();
    bool fresh = false;
    slot& s = slot_for(key, now, &fresh);
    *held_back = 0;
    if (fresh) return true;
    if (now - s.window_start < m_window_ms) {
        if (s.held_back < INT_MAX) ++s.held_back;
        return false;
    }
    *held_back = s.held_back;
    s.held_back = 0;
    s.window_start = now;
    return true;
}

const char* more_since_text(int held_back, char* out, size_t out_size) {
    if (out_size == 0) return "";
    out[0] = '\0';
    if (held_back > 0) snprintf(out, out_size, " (%d more since)", held_back);
    return out;
}

}  // namespace voxline
