#include "platform/sound/mono_resampler.h"

#include <speex/speex_resampler.h>

#include <algorithm>
#include <cstring>

namespace voxline {

mono_resampler::~mono_resampler() {
    if (m_state) speex_resampler_destroy(m_state);
}

bool mono_resampler::init(uint32_t from_rate, uint32_t to_rate) {
    if (m_state) speex_resampler_destroy(m_state);
    m_state = nullptr;
    if (from_rate == to_rate) return true;
    int error = 0;
    m_state = speex_resampler_init(1, from_rate, to_rate, SPEEX_RESAMPLER_QUALITY_VOIP, &error);
    if (m_state == nullptr) return false;
    // Without this the first block would start with the filter's delay in zeros.
    speex_resampler_skip_zeros(m_state);
    return true;
}

void mono_resampler::clear() {
    if (m_state == nullptr) return;
    speex_resampler_reset_mem(m_state);
    speex_resampler_skip_zeros(m_state);
}

size_t mono_resampler::convert(const int16_t* in, size_t count, int16_t* out, size_t room) {
    if (m_state == nullptr) {
        const size_t n = std::min(count, room);
        std::memcpy(out, in, n * sizeof *in);
        return n;
    }
    spx_uint32_t in_length = static_cast<spx_uint32_t>(count);
    spx_uint32_t out_length = static_cast<spx_uint32_t>(room);
    speex_resampler_process_int(m_state, 0, in, &in_length, out, &out_length);
    return out_length;
}

}  // namespace voxline
