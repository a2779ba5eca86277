// Sound input device -> input buffer pool -> PCM input queue.
// Built at enable on the RTP thread; the driver thread pushes through
// on_buffer_done, the tick pops under the same input lock.
#pragma once

#include <mutex>

#include "audio/audio_sizes.h"
#include "audio/pcm_queue.h"
#include "audio/wave_buffer.h"

namespace voxline {

class capture_pipeline {
  public:
    capture_pipeline(const audio_sizes& sizes, wave_handle device, uint32_t now_ms);

    // Driver thread: a filled buffer (short ones are padded with silence).
    void on_buffer_done(wave_header* header, uint32_t now_ms);
    // RTP thread: the oldest 10 ms element; false when none waits.
    bool pop(uint8_t* element);
    // RTP thread: every free buffer back to the device; one that fails waits
    // for the next tick.
    void requeue_free_buffers(wave_handle device, uint32_t now_ms);
    // Every buffer free again (the device holds none).
    void reset_pool() { m_pool.reset(); }

    bool owns(const wave_header* header) const { return m_pool.owns(header); }

  private:
    const audio_sizes m_sizes;
    wave_buffer m_pool;
    std::mutex m_input_lock;
    pcm_queue m_queue;
};

}  // namespace voxline
