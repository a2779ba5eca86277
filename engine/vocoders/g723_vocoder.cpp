#include "vocoders/g723_vocoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include "util/vxl_log.h"
#include "vocoders/g723_framing.h"

namespace voxline {
namespace {

constexpr uint32_t k_frame_pcm_bytes = k_g723_frame_samples * 2;

// Bytes the library's decoder takes for each rate field (the two low bits).
constexpr uint32_t k_library_frame_bytes[4] = {24, 20, 4, 1};

constexpr int16_t k_empty_input_pattern[4] = {-3, -4, -6, -5};

AVCodecContext* open_context(const AVCodec* codec, bool encoder) {
    if (codec == nullptr) return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (ctx == nullptr) return nullptr;
    ctx->sample_rate = 8000;
    av_channel_layout_default(&ctx->ch_layout, 1);
    if (encoder) {
        ctx->sample_fmt = AV_SAMPLE_FMT_S16;
        ctx->bit_rate = 6300;
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0) avcodec_free_context(&ctx);
    return ctx;
}

}  // namespace

g723_vocoder::g723_vocoder(const codec_info& info, uint32_t pack_count)
    : vocoder_t(info, pack_count) {}

std::unique_ptr<vocoder_t> g723_vocoder::create(const codec_info& info, uint32_t pack_count) {
    std::unique_ptr<g723_vocoder> v(new g723_vocoder(info, pack_count));
    if (!v->open()) {
        VXL_LOG(LOG_ERROR, "G.723.1 codec state could not be created");
        return nullptr;
    }
    return v;
}

bool g723_vocoder::open() {
    encoder_ = open_context(avcodec_find_encoder(AV_CODEC_ID_G723_1), true);
    decoder_ = open_context(avcodec_find_decoder(AV_CODEC_ID_G723_1), false);
    encoder_input_ = av_frame_alloc();
    encoder_output_ = av_packet_alloc();
    decoder_input_ = av_packet_alloc();
    decoder_output_ = av_frame_alloc();
    if (!encoder_ || !decoder_ || !encoder_input_ || !encoder_output_ || !decoder_input_ ||
        !decoder_output_)
        return false;
    encoder_input_->nb_samples = k_g723_frame_samples;
    encoder_input_->format = AV_SAMPLE_FMT_S16;
    encoder_input_->sample_rate = 8000;
    if (av_channel_layout_copy(&encoder_input_->ch_layout, &encoder_->ch_layout) < 0) return false;
    if (av_frame_get_buffer(encoder_input_, 0) < 0) return false;
    return av_new_packet(decoder_input_, k_g723_full_frame_bytes) == 0;
}

g723_vocoder::~g723_vocoder() {
    avcodec_free_context(&encoder_);
    avcodec_free_context(&decoder_);
    av_frame_free(&encoder_input_);
    av_packet_free(&encoder_output_);
    av_packet_free(&decoder_input_);
    av_frame_free(&decoder_output_);
}

uint32_t g723_vocoder::encode_frame(const int16_t* pcm, uint8_t* out, uint32_t out_capacity) {
    if (av_frame_make_writable(encoder_input_) < 0) return 0;
    std::memcpy(encoder_input_->data[0], pcm, k_frame_pcm_bytes);
    if (avcodec_send_frame(encoder_, encoder_input_) < 0) return 0;
    if (avcodec_receive_packet(encoder_, encoder_output_) < 0) return 0;
    uint32_t length = 0;
    if (encoder_output_->size > 0) {
        length = g723_frame_length(encoder_output_->data[0]);
        if (length > out_capacity) {
            length = 0;
        } else {
            const uint32_t produced = std::min<uint32_t>(length, encoder_output_->size);
            std::memcpy(out, encoder_output_->data, produced);
            std::memset(out + produced, 0, length - produced);
        }
    }
    av_packet_unref(encoder_output_);
    return length;
}

bool g723_vocoder::encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out,
                          uint32_t out_capacity, uint32_t* out_bytes) {
    uint32_t written = 0;
    for (uint32_t in = 0; pcm_bytes - in >= k_frame_pcm_bytes; in += k_frame_pcm_bytes)
        written += encode_frame(pcm + in / 2, out + written, out_capacity - written);
    *out_bytes = written;
    return true;
}

void g723_vocoder::decode_frame(const uint8_t* frame, uint32_t length, int16_t* pcm) {
    // Give the library exactly one of its frames so that each send yields one output frame.
    const uint32_t library_length = std::min(length, k_library_frame_bytes[frame[0] & 0x03]);
    std::memcpy(decoder_input_->data, frame, library_length);
    decoder_input_->size = static_cast<int>(library_length);
    bool decoded = false;
    if (avcodec_send_packet(decoder_, decoder_input_) >= 0) {
        while (avcodec_receive_frame(decoder_, decoder_output_) >= 0) {
            const bool usable =
                (decoder_output_->format == AV_SAMPLE_FMT_S16 ||
                 decoder_output_->format == AV_SAMPLE_FMT_S16P) &&
                decoder_output_->nb_samples == static_cast<int>(k_g723_frame_samples);
            if (usable && !decoded) {
                std::memcpy(pcm, decoder_output_->data[0], k_frame_pcm_bytes);
                decoded = true;
            }
            av_frame_unref(decoder_output_);
        }
    }
    decoder_input_->size = k_g723_full_frame_bytes;
    if (!decoded) std::memset(pcm, 0, k_frame_pcm_bytes);
}

bool g723_vocoder::decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm,
                          uint32_t pcm_capacity, uint32_t* pcm_bytes) {
    uint32_t written = 0;
    if (frame_bytes == 0) {
        if (pcm_capacity >= k_frame_pcm_bytes) {
            for (uint32_t i = 0; i < k_g723_frame_samples; ++i)
                pcm[i] = k_empty_input_pattern[i % 4];
            written = k_frame_pcm_bytes;
        }
        *pcm_bytes = written;
        return true;
    }
    uint32_t in = 0;
    while (frame_bytes - in >= k_g723_short_frame_bytes &&
           pcm_capacity - written >= k_frame_pcm_bytes) {
        const uint32_t length = g723_frame_length(frames[in]);
        if (length > frame_bytes - in) break;
        decode_frame(frames + in, length, pcm + written / 2);
        in += length;
        written += k_frame_pcm_bytes;
    }
    *pcm_bytes = written;
    return true;
}

}  // namespace voxline
