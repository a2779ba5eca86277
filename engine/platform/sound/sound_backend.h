// What a sound backend provides to the wave layer (wave_api.h), and the table that names them.
//
// A backend moves samples; the wave layer keeps the header queues. For each open device the
// backend gets a wave_stream and, on its driver thread, calls capture() (input) or render()
// (output) once per 10 ms of audio. Those calls hand back finished headers and run the caller's
// done callbacks right there, so callbacks run on the driver thread in queue order.
//
// Threads: open/close/wake/list_devices come from any caller thread (never two opens or closes of
// the same stream at once); capture/render/service only from the stream's driver thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sound/wave_api.h"

namespace voxline {

class wave_stream;

enum class wave_direction { input, output };

struct sound_device_info {
    wave_direction direction = wave_direction::input;
    std::string name;
    uint32_t rate = 8000;
    bool is_default = false;
};

class sound_backend {
  public:
    virtual ~sound_backend() = default;

    // Opens one device for `stream` (a wave error on failure). On success the driver thread
    // drives the stream until close(); the backend names that thread with
    // stream->set_driver_thread() before open returns.
    virtual int32_t open(wave_direction direction, uint32_t device_id, const wave_format& format,
                         const std::shared_ptr<wave_stream>& stream) = 0;
    // The driver stops driving the stream. A pass already running may still call capture or
    // render on it; a closed stream then does nothing and runs no callback.
    virtual void close(wave_stream& stream) = 0;
    // The stream has a request (reset) for its driver thread: call stream.service() soon.
    // Must not block.
    virtual void wake(wave_stream& stream) = 0;
    virtual void list_devices(std::vector<sound_device_info>& devices) = 0;
};

// Builds a backend from the text after "NAME" and its ':' (empty when none). Nullptr with a
// reason when the text cannot be understood.
using sound_backend_factory = std::unique_ptr<sound_backend> (*)(std::string_view options,
                                                                 std::string& error);

struct sound_backend_entry {
    const char* name;
    sound_backend_factory create;  // nullptr: named but not built here; opens fail with 6
};

// The registration table, terminated by a row with a null name.
extern const sound_backend_entry k_sound_backends[];

// The selected backend's devices (a wave error when there is no usable backend).
int32_t wave_list_devices(std::vector<sound_device_info>& devices);

// The selected backend (null when there is none), chosen from VOXLINE_AUDIO when none was yet.
std::shared_ptr<sound_backend> wave_current_backend();

// Writes a line through the wave layer's log sink (wave_set_log_sink); any thread.
void sound_log(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace voxline
