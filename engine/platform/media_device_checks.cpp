#include "platform/media_device_checks.h"

#include <time.h>
#include <voxline/voxline.h>

namespace voxline {

int32_t media_timer_resolution_test() {
    timespec resolution{};
    if (clock_getres(CLOCK_MONOTONIC, &resolution) != 0) return VXL_E_TIMER_RESOLUTION;
    const long long ns =
        static_cast<long long>(resolution.tv_sec) * 1000000000LL + resolution.tv_nsec;
    return ns <= 1000000 ? 0 : VXL_E_TIMER_RESOLUTION;
}

// Stands in until the sound-device layer exists: every open counts as possible.
int32_t media_sound_device_test() {
    return 0;
}

}  // namespace voxline
