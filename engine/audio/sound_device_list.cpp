#include "audio/sound_device_list.h"

#include <voxline/voxline.h>

#include <vector>

#include "audio/sound_device_codes.h"
#include "platform/sound/sound_backend.h"

namespace voxline {

int32_t list_sound_devices(std::string& text) {
    route_sound_log_to_engine_log();
    std::vector<sound_device_info> devices;
    text.clear();
    if (wave_list_devices(devices) != WAVE_OK) return VXL_E_SOUND_NO_DEVICE;
    for (const sound_device_info& d : devices) {
        text += d.direction == wave_direction::input ? "in\t" : "out\t";
        // A tab or line break inside a name would break the line format.
        for (char c : d.name) text += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
        text += '\t' + std::to_string(d.rate);
        if (d.is_default) text += "\tdefault";
        text += '\n';
    }
    return VXL_S_OK;
}

}  // namespace voxline
