// vocoder_t: one codec instance converting 8 kHz 16-bit PCM to and from codec frames.
// Codec state is created with the instance; encode and decode keep to the
// caller's buffers and do no work of their own on the heap.
#pragma once

#include <cstdint>
#include <memory>

#include "vocoders/codec_table.h"

namespace voxline {

class vocoder_t {
  public:
    virtual ~vocoder_t() = default;

    virtual uint32_t encoded_frame_size() const { return info_.encoded_frame_bytes; }
    virtual uint32_t decoded_frame_size() const { return info_.decoded_frame_bytes; }
    virtual bool has_short_frame() const { return info_.short_frame_bytes != 0; }
    virtual uint32_t short_frame_size() const { return info_.short_frame_bytes; }
    virtual uint32_t packet_duration_ms() const { return info_.frame_ms * pack_count_; }

    // Both write at most *_capacity bytes: a network payload or a stray input
    // size never runs past the caller's buffer. Both return true.
    virtual bool encode(const int16_t* pcm, uint32_t pcm_bytes, uint8_t* out, uint32_t out_capacity,
                        uint32_t* out_bytes) = 0;
    virtual bool decode(const uint8_t* frames, uint32_t frame_bytes, int16_t* pcm,
                        uint32_t pcm_capacity, uint32_t* pcm_bytes) = 0;

    uint32_t pack_count() const { return pack_count_; }
    const codec_info& info() const { return info_; }

  protected:
    vocoder_t(const codec_info& info, uint32_t pack_count) : info_(info), pack_count_(pack_count) {}

  private:
    const codec_info& info_;
    uint32_t pack_count_;
};

// nullptr when the code is not in the codec table, the pack count is 0 or the
// codec library cannot set up its state (logged).
std::unique_ptr<vocoder_t> create_vocoder(int code, uint32_t pack_count);

}  // namespace voxline
