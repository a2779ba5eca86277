#include "audio/audio_sizes.h"

#include <algorithm>

namespace voxline {
namespace {

// A period of 0 would divide by zero and a huge one overflows S x 16, so the
// configured value is held to what a sound card can sensibly deliver.
constexpr int32_t SHORTEST_INPUT_MS = 10;
constexpr int32_t LONGEST_INPUT_MS = 1000;

uint32_t round_up_to_interval(int32_t ms) {
    const int32_t held = std::clamp(ms, SHORTEST_INPUT_MS, LONGEST_INPUT_MS);
    const uint32_t t = TIMER_INTERVAL_MS;
    return (static_cast<uint32_t>(held) + t - 1) / t * t;
}

}  // namespace

audio_sizes compute_audio_sizes(int32_t min_input_ms, uint32_t packet_ms,
                                uint32_t pcm_bytes_per_packet) {
    const uint32_t s = round_up_to_interval(min_input_ms);
    const uint32_t t = TIMER_INTERVAL_MS;
    const uint32_t p = std::max<uint32_t>(packet_ms, 1);
    audio_sizes z{};
    z.input_period_ms = s;
    z.input_buffer_bytes = s * 16;
    z.input_buffer_count = (s + 2499) / s;
    z.input_elements_per_push = s / t;
    z.input_queue_depth = std::max<uint32_t>(3, (s + 149) / s);
    z.output_buffer_count = std::max<uint32_t>(3, (t + 299) / t);
    z.output_buffer_bytes = t * 16;
    z.output_elements_per_push = std::max<uint32_t>(pcm_bytes_per_packet / PCM_ELEMENT_BYTES, 1);
    z.output_queue_depth = std::max<uint32_t>(3, (p + 149) / p);
    return z;
}

}  // namespace voxline
