// G.729 (CS-ACELP, 8 kbit/s): 10-byte frames of 10 ms, no silence frames sent.
#pragma once

#include "vocoders/vocoder.h"

struct bcg729EncoderChannelContextStruct_struct;
struct bcg729DecoderChannelContextStruct_struct;

namespace voxline {

class g729_vocoder final : public vocoder_t {
  public:
    static std::unique_ptr<vocoder_t> create(const codec_info& info, uint32_t pack_count);
    ~g729_vocoder() override;

    bool encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out, uint32_t out_capacity,
                uint32_t* out_bytes) override;
    // Whole 10-byte frames only; a trailing partial frame is ignored.
    bool decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm, uint32_t pcm_capacity,
                uint32_t* pcm_bytes) override;

  private:
    g729_vocoder(const codec_info& info, uint32_t pack_count);

    bcg729EncoderChannelContextStruct_struct* encoder_ = nullptr;
    bcg729DecoderChannelContextStruct_struct* decoder_ = nullptr;
};

}  // namespace voxline
