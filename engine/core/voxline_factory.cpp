// The engine's exported entry points: the factory and the device list.
#include <voxline/voxline.h>

#include <cstring>
#include <new>
#include <string>

#include "audio/sound_device_list.h"
#include "core/tarnwick_vxl.h"

namespace {

// Declared for clients that ask for a codec-specific engine; never creatable.
const char* const CODEC_CLASSES[] = {
    VOXLINE_CLASS_TARNWICK_VXL_G723,
    VOXLINE_CLASS_TARNWICK_VXL_G729,
    VOXLINE_CLASS_TARNWICK_VXL_G711U,
    VOXLINE_CLASS_TARNWICK_VXL_G711A,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t VoxlineCreateInstance(
    const char* szClassName, ITarnwickVXL** ppEngine) {
    if (!ppEngine) return VXL_E_POINTER;
    *ppEngine = nullptr;
    if (!szClassName) return VXL_E_CLASS_NOT_AVAILABLE;
    if (strcmp(szClassName, VOXLINE_CLASS_TARNWICK_VXL) == 0) {
        auto* engine = new (std::nothrow) voxline::CTarnwickVXL();
        if (!engine) return VXL_E_FAIL;
        *ppEngine = engine;
        return VXL_S_OK;
    }
    for (const char* name : CODEC_CLASSES)
        if (strcmp(szClassName, name) == 0) return VXL_E_CLASS_NOT_REGISTERED;
    return VXL_E_CLASS_NOT_AVAILABLE;
}

extern "C" __attribute__((visibility("default"))) int32_t VoxlineListSoundDevices(
    char* szDevices, int32_t iBufferSize) {
    std::string text;
    if (int32_t rc = voxline::list_sound_devices(text); rc != VXL_S_OK) return rc;
    const int32_t needed = static_cast<int32_t>(text.size() + 1);
    if (szDevices && iBufferSize >= needed) memcpy(szDevices, text.c_str(), text.size() + 1);
    return needed;
}
