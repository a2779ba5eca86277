#include "vocoders/g729_vocoder.h"

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

#include "util/vxl_log.h"

namespace voxline {
namespace {
constexpr uint32_t k_frame_samples = 80;
constexpr uint32_t k_frame_bytes = 10;
}  // namespace

g729_vocoder::g729_vocoder(const codec_info& info, uint32_t pack_count)
    : vocoder_t(info, pack_count) {}

std::unique_ptr<vocoder_t> g729_vocoder::create(const codec_info& info, uint32_t pack_count) {
    std::unique_ptr<g729_vocoder> v(new g729_vocoder(info, pack_count));
    v->encoder_ = initBcg729EncoderChannel(0);  // no voice activity detection: no Annex B frames
    v->decoder_ = initBcg729DecoderChannel();
    if (v->encoder_ == nullptr || v->decoder_ == nullptr) {
        VXL_LOG(LOG_ERROR, "G.729 codec state could not be created");
        return nullptr;
    }
    return v;
}

g729_vocoder::~g729_vocoder() {
    if (encoder_ != nullptr) closeBcg729EncoderChannel(encoder_);
    if (decoder_ != nullptr) closeBcg729DecoderChannel(decoder_);
}

bool g729_vocoder::encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out,
                          uint32_t out_capacity, uint32_t* out_bytes) {
    uint32_t written = 0;
    for (uint32_t in = 0;
         (pcm_bytes / 2) - in >= k_frame_samples && out_capacity - written >= k_frame_bytes;
         in += k_frame_samples) {
        uint8_t length = 0;
        bcg729Encoder(encoder_, pcm + in, out + written, &length);
        written += length;
    }
    *out_bytes = written;
    return true;
}

bool g729_vocoder::decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm,
                          uint32_t pcm_capacity, uint32_t* pcm_bytes) {
    uint32_t samples = 0;
    for (uint32_t in = 0;
         frame_bytes - in >= k_frame_bytes && pcm_capacity / 2 - samples >= k_frame_samples;
         in += k_frame_bytes) {
        bcg729Decoder(decoder_, frames + in, k_frame_bytes, 0, 0, 0, pcm + samples);
        samples += k_frame_samples;
    }
    *pcm_bytes = samples * 2;
    return true;
}

}  // namespace voxline
