// One open PortAudio device and its driver thread, which moves 10 ms blocks between the device
// (blocking reads and writes) and the device's wave_stream, resampling when the device does not
// run at 8000 Hz.
//
// The output runs dry: with no header queued nothing is written, so the device never holds
// silence ahead of the next sound. A device that fails while open (unplugged) keeps completing
// headers in real time, recording silence or playing into nothing, and is reopened every 100 ms.
// A device without a clock of its own (a file) is held to real time.
//
// Owner: the PortAudio backend. The thread stops on request_stop() and is joined by the
// destructor, which must not run on that thread.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/mono_resampler.h"
#include "platform/sound/sound_backend.h"

namespace voxline {

struct portaudio_route {
    wave_direction direction = wave_direction::input;
    PaDeviceIndex device = paNoDevice;
    std::string name;
    uint32_t rate = 0;  // 0: 8000 Hz, else the device's own rate
};

class portaudio_device {
  public:
    portaudio_device(const portaudio_route& route, const std::shared_ptr<wave_stream>& stream);
    portaudio_device(const portaudio_device&) = delete;
    portaudio_device& operator=(const portaudio_device&) = delete;
    ~portaudio_device();

    // Opens the device and starts the driver thread; a wave error on failure.
    int32_t start();
    void request_stop();
    // From the driver thread itself, when its owner goes away under it (the backend destroyed
    // inside a done callback): the thread stops and deletes the device when it ends.
    void orphan();
    void wake();
    const wave_stream& stream() const { return *m_stream; }
    bool on_driver_thread() const { return m_thread.get_id() == std::this_thread::get_id(); }

  private:
    int32_t open_device();  // with the PortAudio lock held
    void close_device(bool cut);
    void run();
    void pass_input();
    void pass_output();
    void pass_lost();
    void lose(PaError error);
    void restart_output();
    // Sleeps until `until_us` (monotonic), or less on a stop or wake request.
    void wait_until(int64_t until_us);
    // After `frames` device frames: holds an unclocked device to real time.
    void pace(size_t frames, int64_t now_us);

    const portaudio_route m_route;
    const std::shared_ptr<wave_stream> m_stream;
    uint32_t m_rate = 8000;  // the device's rate
    size_t m_device_frames = 80;
    int64_t m_latency_us = 0;
    PaStream* m_pa = nullptr;
    mono_resampler m_resampler;
    std::vector<int16_t> m_device_block;
    std::vector<int16_t> m_block;

    std::thread m_thread;
    bool m_orphaned = false;  // driver thread only
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_woken{false};
    std::mutex m_wait_lock;
    std::condition_variable m_wait;

    // Driver thread only.
    bool m_dry = true;
    int64_t m_pace_anchor_us = 0;
    uint64_t m_pace_frames = 0;
    int64_t m_lost_tick_us = 0;
    int64_t m_retry_us = 0;
};

}  // namespace voxline
