// Monotonic time for timers and the millisecond tick the engine logs with.
#pragma once

#include <cstdint>

namespace voxline {

// Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
uint32_t tick_ms();

// Monotonic milliseconds without wrap, for deadlines.
int64_t monotonic_ms();

// Monotonic microseconds, for short waits and measurements.
int64_t monotonic_us();

}  // namespace voxline
