// Buffer and queue geometry of the capture and playback pipelines, derived in
// one place from the configured input period and the codec's packet.
#pragma once

#include <cstdint>

namespace voxline {

// Bytes of one 10 ms element of 8 kHz 16-bit mono PCM.
constexpr uint32_t PCM_ELEMENT_BYTES = 160;
constexpr uint32_t TIMER_INTERVAL_MS = 10;

struct audio_sizes {
    // Capture: the device hands back one buffer per input period S.
    uint32_t input_period_ms;
    uint32_t input_buffer_bytes;
    uint32_t input_buffer_count;
    uint32_t input_elements_per_push;
    uint32_t input_queue_depth;  // in pushes
    // Playback: one 10 ms element per device buffer.
    uint32_t output_buffer_count;
    uint32_t output_buffer_bytes;
    uint32_t output_elements_per_push;
    uint32_t output_queue_depth;  // in pushes
};

// min_input_ms is the configured minimum input period; packet_ms and
// pcm_bytes_per_packet describe one RTP packet of the codec in use.
audio_sizes compute_audio_sizes(int32_t min_input_ms, uint32_t packet_ms,
                                uint32_t pcm_bytes_per_packet);

}  // namespace voxline
