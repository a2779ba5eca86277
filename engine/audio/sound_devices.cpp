#include "audio/sound_devices.h"

#include <voxline/voxline.h>

#include <chrono>
#include <thread>

#include "audio/sound_device_codes.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

constexpr int OUTPUT_OPEN_ATTEMPTS = 10;
constexpr int OUTPUT_RETRY_MS = 100;

}  // namespace

sound_devices::sound_devices(wave_callback input_done, wave_callback output_done, void* context)
    : m_input_done(input_done), m_output_done(output_done), m_context(context) {
    route_sound_log_to_engine_log();
}

sound_devices::~sound_devices() {
    if (input()) close_input();
    if (output()) close_output();
}

int32_t sound_devices::open_audio_devices(bool retry) {
    if (input() && output()) return VXL_S_OK;
    int32_t rc = open_input();
    if (rc != VXL_S_OK) return rc;
    // A half-duplex card refuses the input once the output is open: find out now.
    close_input();
    rc = open_output(retry);
    if (rc != VXL_S_OK) return rc;
    rc = open_input();
    if (rc == VXL_S_OK) return VXL_S_OK;
    close_output();
    return rc == VXL_E_SOUND_INPUT_IN_USE ? VXL_E_SOUND_DEVICE : rc;
}

int32_t sound_devices::open_input() {
    if (input()) {
        VXL_LOG(LOG_INFO, "Audio input device already open.");
        return VXL_S_OK;
    }
    const wave_format format{};
    wave_handle handle = 0;
    const int32_t rc = wave_in_open(&handle, k_wave_mapper, &format, m_input_done, m_context);
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveInOpen failed: error=%d", rc);
        return input_open_result(rc);
    }
    m_input = handle;
    VXL_LOG(LOG_INFO, "waveInOpen succeeded = %d", handle);
    return VXL_S_OK;
}

int32_t sound_devices::open_output(bool retry) {
    if (output()) {
        VXL_LOG(LOG_INFO, "Audio output device already open.");
        return VXL_S_OK;
    }
    const wave_format format{};
    const int attempts = retry ? OUTPUT_OPEN_ATTEMPTS : 1;
    wave_handle handle = 0;
    int32_t rc = WAVE_ERROR;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        rc = wave_out_open(&handle, k_wave_mapper, &format, m_output_done, m_context);
        if (rc != WAVE_ALLOCATED || !retry) break;
        VXL_LOG(LOG_INFO, "Audio output device in use...");
        if (attempt < attempts)
            std::this_thread::sleep_for(std::chrono::milliseconds(OUTPUT_RETRY_MS));
    }
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveOutOpen failed: error=%d", rc);
        return output_open_result(rc);
    }
    m_output = handle;
    VXL_LOG(LOG_INFO, "waveOutOpen succeeded");
    return VXL_S_OK;
}

void sound_devices::close_input() {
    const wave_handle handle = m_input.exchange(0);
    if (!handle) {
        VXL_LOG(LOG_INFO, "Audio input already closed.");
        return;
    }
    if (int32_t rc = wave_in_reset(handle); rc != WAVE_OK)
        VXL_LOG(LOG_ERROR, "waveInReset failed:  error=%d", rc);
    if (int32_t rc = wave_in_close(handle); rc != WAVE_OK)
        VXL_LOG(LOG_ERROR, "waveInClose failed:  error=%d", rc);
}

void sound_devices::close_output(void (*before_close)(void*), void* context) {
    const wave_handle handle = m_output.load();
    if (!handle) {
        VXL_LOG(LOG_INFO, "Audio output already closed.");
        return;
    }
    if (before_close) before_close(context);
    m_output = 0;
    if (int32_t rc = wave_out_reset(handle); rc != WAVE_OK)
        VXL_LOG(LOG_ERROR, "waveOutReset failed:  error=%d", rc);
    if (int32_t rc = wave_out_close(handle); rc != WAVE_OK)
        VXL_LOG(LOG_ERROR, "waveOutClose failed:  error=%d", rc);
}

}  // namespace voxline
