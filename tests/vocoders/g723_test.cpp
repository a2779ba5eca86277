#include <gtest/gtest.h>

#include "signal_metrics.h"
#include "vocoders/vocoder.h"

namespace voxline::test {
namespace {

struct decode_case {
    const char* name;
    std::vector<uint8_t> payload;
    uint32_t capacity_frames;
    uint32_t expected_frames;
};

std::vector<uint8_t> full_frame(uint8_t first) {
    std::vector<uint8_t> f(24, 0x11);
    f[0] = first;
    return f;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> cut(std::vector<uint8_t> a, size_t n) {
    a.resize(n);
    return a;
}

const std::vector<uint8_t> k_silence_frame = {0x02, 0x40, 0x21, 0x10};

TEST(G723, DecodesMixedFrameLengths) {
    const decode_case cases[] = {
        {"one 4-byte frame", k_silence_frame, 4, 1},
        {"full then silence", full_frame(0x00) + k_silence_frame, 4, 2},
        {"silence then full", k_silence_frame + full_frame(0x00), 4, 2},
        {"six silence frames in a 24-byte payload",
         k_silence_frame + k_silence_frame + k_silence_frame + k_silence_frame + k_silence_frame +
             k_silence_frame,
         8, 6},
        {"more frames than room", k_silence_frame + k_silence_frame + k_silence_frame, 2, 2},
        {"full frame cut short", cut(full_frame(0x00), 10), 4, 0},
        {"fewer than 4 bytes after a frame", k_silence_frame + std::vector<uint8_t>{0x02, 0x00}, 4,
         1},
    };
    for (const decode_case& c : cases) {
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
    struct encode_case {
        uint32_t pcm_bytes, frames;
    };
    auto v = create_vocoder(VOCODER_G723, 2);
    const std::vector<int16_t> tone = sine(440, 8000, 720);
    for (const encode_case c : {encode_case{479, 0}, encode_case{480, 1}, encode_case{959, 1},
                                encode_case{960, 2}, encode_case{1440, 3}}) {
        std::vector<uint8_t> out(100);
        uint32_t written = 0;
        v->encode(tone.data(), c.pcm_bytes, out.data(), static_cast<uint32_t>(out.size()),
                  &written);
        EXPECT_EQ(written, 24 * c.frames) << c.pcm_bytes;
        for (uint32_t f = 0; f < c.frames; ++f)
            EXPECT_EQ(out[24 * f] & 0x03, 0) << "a 6.3 kbit/s frame at " << f;
    }
}

}  // namespace
}  // namespace voxline::test
