// Checks ConfigureCallParameters runs before it builds a call control.
#pragma once

#include <cstdint>

namespace voxline {

// 0 when the periodic timer can run at 1 ms resolution, else VXL_E_TIMER_RESOLUTION.
int32_t media_timer_resolution_test();

// 0 when the sound devices can be opened, else a sound-device result code.
int32_t media_sound_device_test();

}  // namespace voxline
