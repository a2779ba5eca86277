#include "vocoders/g711_vocoder.h"

#include <algorithm>

#include "vocoders/g711_law.h"

namespace voxline {

g711_vocoder::g711_vocoder(const codec_info& info, uint32_t pack_count)
    : vocoder_t(info, pack_count),
      compress_(info.code == VOCODER_G711A ? g711::encode_alaw : g711::encode_ulaw),
      expand_(info.code == VOCODER_G711A ? g711::k_alaw_expand.data() : g711::k_ulaw_expand.data()),
      last_code_(compress_(0)) {}

bool g711_vocoder::encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out,
                          uint32_t out_capacity, uint32_t* out_bytes) {
    const uint32_t samples = std::min(pcm_bytes / 2, out_capacity);
    for (uint32_t i = 0; i < samples; ++i) {
        if (pcm[i] != last_sample_) {
            last_sample_ = pcm[i];
            last_code_ = compress_(last_sample_);
        }
        out[i] = last_code_;
    }
    *out_bytes = samples;
    return true;
}

bool g711_vocoder::decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm,
                          uint32_t pcm_capacity, uint32_t* pcm_bytes) {
    const uint32_t samples = std::min(frame_bytes, pcm_capacity / 2);
    for (uint32_t i = 0; i < samples; ++i) pcm[i] = expand_[frames[i]];
    *pcm_bytes = samples * 2;
    return true;
}

}  // namespace voxline
