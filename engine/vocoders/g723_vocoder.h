// G.723.1 at 6.3 kbit/s, voice activity detection off; decodes the 4-byte
// silence frames of Annex A as well.
#pragma once

#include "vocoders/vocoder.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace voxline {

class g723_vocoder final : public vocoder_t {
  public:
    static std::unique_ptr<vocoder_t> create(const codec_info& info, uint32_t pack_count);
    ~g723_vocoder() override;

    // One frame per 480 input bytes; a remainder shorter than that is not encoded.
    bool encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out, uint32_t out_capacity,
                uint32_t* out_bytes) override;
    // Frames one after another while at least 4 bytes remain; a frame that
    // would run past the input ends decoding. Empty input gives one frame of
    // the fixed low-level pattern.
    bool decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm, uint32_t pcm_capacity,
                uint32_t* pcm_bytes) override;

  private:
    g723_vocoder(const codec_info& info, uint32_t pack_count);
    bool open();
    uint32_t encode_frame(const int16_t* pcm, uint8_t* out, uint32_t out_capacity);
    void decode_frame(const uint8_t* frame, uint32_t length, int16_t* pcm);

    AVCodecContext* encoder_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVFrame* encoder_input_ = nullptr;
    AVPacket* encoder_output_ = nullptr;
    AVPacket* decoder_input_ = nullptr;
    AVFrame* decoder_output_ = nullptr;
};

}  // namespace voxline
