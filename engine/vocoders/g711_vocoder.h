// G.711 mu-law and A-law: one code byte per sample.
#pragma once

#include "vocoders/vocoder.h"

namespace voxline {

class g711_vocoder final : public vocoder_t {
  public:
    g711_vocoder(const codec_info& info, uint32_t pack_count);

    bool encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out, uint32_t out_capacity,
                uint32_t* out_bytes) override;
    bool decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm, uint32_t pcm_capacity,
                uint32_t* pcm_bytes) override;

  private:
    uint8_t (*compress_)(int16_t);
    const int16_t* expand_;
    // Steady input (silence, held tones) repeats the previous code without a look-up.
    int16_t last_sample_ = 0;
    uint8_t last_code_;
};

}  // namespace voxline
