// The sound devices a picker can offer, as text: one line per device,
// "in" or "out", the name, the rate in Hz and "default" for the default
// one, separated by tabs.
#pragma once

#include <cstdint>
#include <string>

namespace voxline {

// 0, or VXL_E_SOUND_NO_DEVICE when no sound backend is usable.
int32_t list_sound_devices(std::string& text);

}  // namespace voxline
