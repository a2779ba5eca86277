// A mono 16-bit sample-rate converter (libspeexdsp) for devices that cannot run at 8000 Hz.
// Set up once per device; convert() neither allocates nor blocks.
#pragma once

#include <cstddef>
#include <cstdint>

struct SpeexResamplerState_;

namespace voxline {

class mono_resampler {
  public:
    mono_resampler() = default;
    mono_resampler(const mono_resampler&) = delete;
    mono_resampler& operator=(const mono_resampler&) = delete;
    ~mono_resampler();

    // False when the rates cannot be converted. Equal rates convert by copying.
    bool init(uint32_t from_rate, uint32_t to_rate);
    // Converts `count` samples into at most `room`; returns the samples written. Give room for
    // count * to_rate / from_rate + 2 so that all input is taken.
    size_t convert(const int16_t* in, size_t count, int16_t* out, size_t room);
    // Forgets the samples of the last sound still held in the filter.
    void clear();

  private:
    SpeexResamplerState_* m_state = nullptr;
};

}  // namespace voxline
