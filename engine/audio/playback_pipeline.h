// PCM output queue -> output buffer pool -> sound output device, with the
// latency trimming that keeps the device queue short.
// Built at enable; pushed, popped and written by the RTP thread only; the
// driver thread hands played buffers back through on_buffer_done.
#pragma once

#include "audio/audio_sizes.h"
#include "audio/output_trim.h"
#include "audio/pcm_queue.h"
#include "audio/wave_buffer.h"

namespace voxline {

class playback_pipeline {
  public:
    playback_pipeline(const audio_sizes& sizes, uint32_t packet_ms, uint32_t now_ms);

    // One decoded packet; counted and dropped when the queue is full.
    void push_decoded(const uint8_t* pcm);
    bool pop(uint8_t* element);
    // A direct write plays the caller's data as it is (a digit's tone): it
    // skips the size check and the trimming copy, not the bookkeeping.
    void write(wave_handle device, const uint8_t* data, uint32_t length, bool direct,
               uint32_t now_ms);
    // Driver thread: a played buffer comes back.
    void on_buffer_done(wave_header* header, uint32_t now_ms);
    void log_histogram() const { m_trim.log_histogram(); }

    bool owns(const wave_header* header) const { return m_pool.owns(header); }
    uint32_t outstanding() const { return m_pool.outstanding(); }
    uint32_t kill_samples_multiplier() const { return m_trim.kill_samples_multiplier(); }

  private:
    void out_of_buffers(wave_handle device, uint32_t now_ms);

    wave_buffer m_pool;
    pcm_queue m_queue;
    output_trim m_trim;
};

}  // namespace voxline
