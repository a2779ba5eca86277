// ITU-T G.711 companding laws. The encoders see the 14-bit (mu-law) and
// 13-bit (A-law) linear ranges of the recommendation, so both are one table
// look-up indexed by the top bits of the 16-bit sample.
#pragma once

#include <array>
#include <cstdint>

namespace voxline::g711 {

constexpr int16_t ulaw_to_linear(uint8_t code) {
    const int u = static_cast<uint8_t>(~code);
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return static_cast<int16_t>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

constexpr int16_t alaw_to_linear(uint8_t code) {
    const int a = code ^ 0x55;
    int t = (a & 0x0F) << 4;
    const int seg = (a & 0x70) >> 4;
    if (seg == 0) {
        t += 8;
    } else {
        t += 0x108;
        t <<= seg - 1;
    }
    return static_cast<int16_t>((a & 0x80) ? t : -t);
}

// Segment of a magnitude: the first end point it does not exceed (8: beyond the last).
constexpr int segment_of(int magnitude, const std::array<int, 8>& ends) {
    for (int seg = 0; seg < 8; ++seg)
        if (magnitude <= ends[seg]) return seg;
    return 8;
}

// Input: the 14-bit sample (16-bit sample shifted right by 2).
constexpr uint8_t linear14_to_ulaw(int pcm) {
    constexpr std::array<int, 8> ends{0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
    int mask = 0xFF;
    if (pcm < 0) {
        pcm = -pcm;
        mask = 0x7F;
    }
    if (pcm > 8159) pcm = 8159;
    pcm += 0x84 >> 2;
    const int seg = segment_of(pcm, ends);
    if (seg >= 8) return static_cast<uint8_t>(0x7F ^ mask);
    return static_cast<uint8_t>(((seg << 4) | ((pcm >> (seg + 1)) & 0x0F)) ^ mask);
}

// Input: the 13-bit sample (16-bit sample shifted right by 3).
constexpr uint8_t linear13_to_alaw(int pcm) {
    constexpr std::array<int, 8> ends{0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int mask = 0xD5;
    if (pcm < 0) {
        mask = 0x55;
        pcm = -pcm - 1;
    }
    const int seg = segment_of(pcm, ends);
    if (seg >= 8) return static_cast<uint8_t>(0x7F ^ mask);
    int code = seg << 4;
    code |= (seg < 2) ? ((pcm >> 1) & 0x0F) : ((pcm >> seg) & 0x0F);
    return static_cast<uint8_t>(code ^ mask);
}

template <typename F>
constexpr std::array<int16_t, 256> make_expansion(F expand) {
    std::array<int16_t, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = expand(static_cast<uint8_t>(i));
    return table;
}

template <size_t N, typename F>
constexpr std::array<uint8_t, N> make_compression(F compress) {
    std::array<uint8_t, N> table{};
    const int half = static_cast<int>(N / 2);
    for (int i = 0; i < static_cast<int>(N); ++i) table[i] = compress(i - half);
    return table;
}

inline constexpr auto k_ulaw_expand = make_expansion(ulaw_to_linear);
inline constexpr auto k_alaw_expand = make_expansion(alaw_to_linear);
inline constexpr auto k_ulaw_compress = make_compression<16384>(linear14_to_ulaw);
inline constexpr auto k_alaw_compress = make_compression<8192>(linear13_to_alaw);

inline uint8_t encode_ulaw(int16_t sample) {
    return k_ulaw_compress[(sample >> 2) + 8192];
}
inline uint8_t encode_alaw(int16_t sample) {
    return k_alaw_compress[(sample >> 3) + 4096];
}

}  // namespace voxline::g711
