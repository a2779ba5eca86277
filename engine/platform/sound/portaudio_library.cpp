#include "platform/sound/portaudio_library.h"

#include <cerrno>

#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_library_quiet.h"

namespace voxline {
namespace {

struct error_row {
    PaError portaudio;
    int32_t wave;
};

constexpr error_row k_errors[] = {
    {paNotInitialized, WAVE_NO_DRIVER},
    {paInvalidDevice, WAVE_BAD_DEVICE_ID},
    {paDeviceUnavailable, WAVE_ALLOCATED},
    {paInvalidSampleRate, WAVE_BAD_FORMAT},
    {paSampleFormatNotSupported, WAVE_BAD_FORMAT},
    {paInvalidChannelCount, WAVE_BAD_FORMAT},
};

// Host errors are ALSA's negative errno values.
constexpr error_row k_host_errors[] = {
    {-EBUSY, WAVE_ALLOCATED},
    {-ENODEV, WAVE_BAD_DEVICE_ID},
    {-ENOENT, WAVE_BAD_DEVICE_ID},
    {-ENXIO, WAVE_BAD_DEVICE_ID},
};

}  // namespace

std::mutex& portaudio_lock() {
    static std::mutex lock;
    return lock;
}

bool portaudio_start() {
    static bool tried = false;
    static bool started = false;
    std::lock_guard lock(portaudio_lock());
    if (tried) return started;
    tried = true;
    quiet_sound_libraries();
    const PaError error = Pa_Initialize();
    started = error == paNoError;
    if (!started) sound_log(1, "PortAudio cannot be used: %s", Pa_GetErrorText(error));
    return started;
}

int32_t wave_error_from_portaudio(PaError error) {
    for (const error_row& row : k_errors)
        if (row.portaudio == error) return row.wave;
    if (error == paUnanticipatedHostError || error == paBadIODeviceCombination) {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host != nullptr && host->hostApiType == paALSA)
            for (const error_row& row : k_host_errors)
                if (row.portaudio == host->errorCode) return row.wave;
    }
    return WAVE_ERROR;
}

}  // namespace voxline
