// PortAudio for the whole process: initialised once, on first use, and never terminated (its
// device list is read at that point). PortAudio's management calls are not thread-safe, so
// opening, starting, stopping and closing streams and reading device information go under
// portaudio_lock(); reads and writes of one stream need no lock.
#pragma once

#include <portaudio.h>

#include <cstdint>
#include <mutex>

namespace voxline {

// True once PortAudio is initialised; false (every time after a failure) when it cannot be.
bool portaudio_start();

std::mutex& portaudio_lock();

// The wave error for a failed PortAudio call; reads the host error, so call it under the lock
// right after the failing call.
int32_t wave_error_from_portaudio(PaError error);

}  // namespace voxline
