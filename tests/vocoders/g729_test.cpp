#include <gtest/gtest.h>

#include "signal_metrics.h"
#include "vocoders/vocoder.h"

namespace voxline {
namespace {

TEST(G729, WholeFramesOnly) {
    struct size_case {
        uint32_t pcm_bytes, encoded, payload_bytes, decoded;
    };
    auto v = create_vocoder(VOCODER_G729, 4);
    const std::vector<int16_t> tone = test::sine(440, 8000, 320);
    for (const size_case c : {size_case{159, 0, 9, 0}, size_case{160, 10, 10, 160},
                              size_case{319, 10, 19, 160}, size_case{640, 40, 40, 640}}) {
        std::vector<uint8_t> out(64);
        uint32_t written = 0;
        v->encode(tone.data(), c.pcm_bytes, out.data(), static_cast<uint32_t>(out.size()),
                  &written);
        EXPECT_EQ(written, c.encoded) << c.pcm_bytes;
        std::vector<int16_t> pcm(400);
        uint32_t bytes = 0;
        v->decode(out.data(), c.payload_bytes, pcm.data(), static_cast<uint32_t>(pcm.size() * 2),
                  &bytes);
        EXPECT_EQ(bytes, c.decoded) << c.payload_bytes;
    }
}

}  // namespace
}  // namespace voxline
