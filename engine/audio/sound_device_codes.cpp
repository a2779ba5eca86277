#include "audio/sound_device_codes.h"

#include <voxline/voxline.h>

#include "platform/sound/wave_api.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

struct code_row {
    int32_t wave_error;
    int32_t input_result;
    int32_t output_result;
};

constexpr code_row CODES[] = {
    {WAVE_BAD_DEVICE_ID, VXL_E_SOUND_NO_DEVICE, VXL_E_SOUND_NO_DEVICE},
    {WAVE_NO_DRIVER, VXL_E_SOUND_NO_DEVICE, VXL_E_SOUND_NO_DEVICE},
    {WAVE_ALLOCATED, VXL_E_SOUND_INPUT_IN_USE, VXL_E_SOUND_OUTPUT_IN_USE},
    {WAVE_BAD_FORMAT, VXL_E_SOUND_BAD_FORMAT, VXL_E_SOUND_OUTPUT_BAD_FORMAT},
};

const code_row* find(int32_t wave_error) {
    for (const code_row& row : CODES) {
        if (row.wave_error == wave_error) return &row;
    }
    return nullptr;
}

void to_engine_log(int level, const char* line) {
    VXL_LOG(level, "%s", line);
}

}  // namespace

int32_t input_open_result(int32_t wave_error) {
    const code_row* row = find(wave_error);
    return row ? row->input_result : VXL_E_SOUND_DEVICE_ERROR;
}

int32_t output_open_result(int32_t wave_error) {
    const code_row* row = find(wave_error);
    return row ? row->output_result : VXL_E_SOUND_DEVICE_ERROR;
}

void route_sound_log_to_engine_log() {
    wave_set_log_sink(to_engine_log);
}

}  // namespace voxline
