// The call's two sound devices: opening in the order a half-duplex card
// needs, the output's retries while another program holds it, and closing.
//
// Threads: opened and closed on the call thread; the handles are read by the
// RTP thread (atomics). Done callbacks arrive on the sound driver's thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sound/wave_api.h"

namespace voxline {

class sound_devices {
  public:
    sound_devices(wave_callback input_done, wave_callback output_done, void* context);
    ~sound_devices();
    sound_devices(const sound_devices&) = delete;
    sound_devices& operator=(const sound_devices&) = delete;

    // 0 with both devices open, or a sound-device result code.
    int32_t open_audio_devices(bool retry);
    int32_t open_input();
    // With retry, a busy output is tried 10 times 100 ms apart.
    int32_t open_output(bool retry);
    void close_input();
    // Hook run before the output closes (the looping tone lets go of its header).
    void close_output(void (*before_close)(void*) = nullptr, void* context = nullptr);

    wave_handle input() const { return m_input.load(); }
    wave_handle output() const { return m_output.load(); }

  private:
    wave_callback m_input_done;
    wave_callback m_output_done;
    void* m_context;
    std::atomic<wave_handle> m_input{0};
    std::atomic<wave_handle> m_output{0};
};

}  // namespace voxline
