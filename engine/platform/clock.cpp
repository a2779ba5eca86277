#include "platform/clock.h"

#include <time.h>

namespace voxline {

int64_t monotonic_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t monotonic_ms() {
    return monotonic_us() / 1000;
}

uint32_t tick_ms() {
    return static_cast<uint32_t>(monotonic_ms());
}

}  // namespace voxline
