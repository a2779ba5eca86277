// G.723.1 frame lengths as read from a frame's first octet: the silence
// (Annex A) frame is 4 bytes and is marked by bit 1; everything else is taken
// as a 24-byte 6.3 kbit/s frame.
#pragma once

#include <cstdint>

namespace voxline {

constexpr uint32_t k_g723_full_frame_bytes = 24;
constexpr uint32_t k_g723_short_frame_bytes = 4;
constexpr uint32_t k_g723_frame_samples = 240;

constexpr uint32_t g723_frame_length(uint8_t first_octet) {
    return (first_octet & 0x02) ? k_g723_short_frame_bytes : k_g723_full_frame_bytes;
}

}  // namespace voxline
