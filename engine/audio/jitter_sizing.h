// Jitter buffer sizing from the configured milliseconds and the packet duration.
#pragma once

#include <cstdint>

namespace voxline {

struct jitter_sizing {
    uint32_t threshold;   // H: packets, at least 1
    uint32_t size;        // Z: packets, at least H
    uint32_t hold_count;  // packets kept before release starts
    uint32_t capacity;    // nodes in the ordered list at most
};

// Negative milliseconds count as 0; a packet duration of 0 as 1 ms.
jitter_sizing compute_jitter_sizing(int32_t min_size_ms, int32_t min_threshold_ms,
                                    uint32_t packet_ms);

// The two lines a session logs about its jitter buffer.
void log_jitter_sizing(const jitter_sizing& sizing, uint32_t packet_ms);

}  // namespace voxline
