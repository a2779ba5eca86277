#include <gtest/gtest.h>

#include <cmath>

#include "vocoders/vocoder.h"

namespace voxline::test {
namespace {

std::vector<uint8_t> full_frame(uint8_t first) {
    std::vector<uint8_t> f(24, 0x11);
    f[0] = first;
    return f;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<uint8_t> k_silence_frame = {0x02, 0x40, 0x21, 0x10};
const std::vector<uint8_t> k_two_silence = k_silence_frame + k_silence_frame;

TEST(G723, DecodesMixedFrameLengths) {
    const struct {
        const char* name;
        std::vector<uint8_t> payload;
        uint32_t capacity_frames, expected_frames;
    } cases[] = {
        {"one 4-byte frame", k_silence_frame, 4, 1},
        {"full then silence", full_frame(0x00) + k_silence_frame, 4, 2},
        {"silence then full", k_silence_frame + full_frame(0x00), 4, 2},
        {"six silence frames in a 24-byte payload", k_two_silence + k_two_silence + k_two_silence,
         8, 6},
        {"more frames than room", k_two_silence + k_silence_frame, 2, 2},
        {"full frame cut short", std::vector<uint8_t>(10, 0x00), 4, 0},
        {"fewer than 4 bytes after a frame", k_silence_frame + std::vector<uint8_t>{0x02, 0x00}, 4,
         1},
    };
    for (const auto& c : cases) {
        auto v = create_vocoder(VOCODER_G723, 1);
        std::vector<int16_t> pcm(240 * c.capacity_frames + 16, 0x5555);
        uint32_t bytes = 0;
        EXPECT_TRUE(v->decode(c.payload.data(), static_cast<uint32_t>(c.payload.size()), pcm.data(),
                              240 * 2 * c.capacity_frames, &bytes));
        EXPECT_EQ(bytes, 480 * c.expected_frames) << c.name;
        EXPECT_EQ(pcm[240 * c.capacity_frames], 0x5555) << c.name << ": wrote past the capacity";
    }
}

TEST(G723, EmptyInputGivesTheFixedPattern) {
    auto v = create_vocoder(VOCODER_G723, 1);
    std::vector<int16_t> pcm(240);
    uint32_t bytes = 0;
    ASSERT_TRUE(v->decode(nullptr, 0, pcm.data(), 480, &bytes));
    ASSERT_EQ(bytes, 480u);
    const int16_t pattern[] = {-3, -4, -6, -5};
    for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(pcm[i], pattern[i % 4]) << i;
}

TEST(G723, EncodesWhole30msFramesOnly) {
    auto v = create_vocoder(VOCODER_G723, 2);
    std::vector<int16_t> tone(720);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t(8000 * std::sin(0.3455 * i));
    for (const auto& [pcm_bytes, frames] :
         {std::pair{479u, 0u}, {480u, 1u}, {959u, 1u}, {960u, 2u}, {1440u, 3u}}) {
        std::vector<uint8_t> out(100);
        uint32_t written = 0;
        v->encode(tone.data(), pcm_bytes, out.data(), static_cast<uint32_t>(out.size()), &written);
        EXPECT_EQ(written, 24 * frames) << pcm_bytes;
        for (uint32_t f = 0; f < frames; ++f)
            EXPECT_EQ(out[24 * f] & 0x03, 0) << "a 6.3 kbit/s frame at " << f;
    }
}

}  // namespace
}  // namespace voxline::test
