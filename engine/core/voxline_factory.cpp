// The engine's one exported entry point.
#include <voxline/voxline.h>

#include <cstring>
#include <new>

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
