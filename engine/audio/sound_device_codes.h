// Sound-device error numbers turned into the engine's result codes, and the
// sound layer's diagnostics routed into the engine log.
#pragma once

#include <cstdint>

namespace voxline {

// Result of a failed input open (no device, busy, format, other).
int32_t input_open_result(int32_t wave_error);
// Result of a failed output open, once its retries are spent.
int32_t output_open_result(int32_t wave_error);

// Sends the sound layer's lines to vxl.log; idempotent.
void route_sound_log_to_engine_log();

}  // namespace voxline
