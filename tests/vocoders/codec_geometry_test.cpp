#include <gtest/gtest.h>

// The codecs log only on failure; that stays out of the user's engine directory.
#include "support/temp_home.h"
#include "vocoders/vocoder.h"

namespace voxline::test {
namespace {

TEST(CodecGeometry, SizesPayloadTypesAndDurations) {
    const struct {
        vocoder_code code;
        uint32_t pack, payload_type, payload_bytes, pcm_bytes, packet_ms, short_frame;
    } cases[] = {
        // G.711 frames are 5 ms (40 samples): pack 2 carries 80 samples, 10 ms.
        {VOCODER_G711U, 2, 0, 80, 160, 10, 0},  {VOCODER_G711A, 2, 8, 80, 160, 10, 0},
        {VOCODER_G711U, 4, 0, 160, 320, 20, 0}, {VOCODER_G723, 1, 4, 24, 480, 30, 4},
        {VOCODER_G723, 2, 4, 48, 960, 60, 4},   {VOCODER_G729, 4, 18, 40, 640, 40, 0},
        {VOCODER_G729, 1, 18, 10, 160, 10, 0},
    };
    for (const auto& c : cases) {
        auto v = create_vocoder(c.code, c.pack);
        ASSERT_NE(v, nullptr) << c.code;
        const auto where = ::testing::Message() << v->info().short_name << " pack " << c.pack;
        EXPECT_EQ(v->info().payload_type, c.payload_type) << where;
        EXPECT_EQ(v->encoded_frame_size() * v->pack_count(), c.payload_bytes) << where;
        EXPECT_EQ(v->decoded_frame_size() * v->pack_count(), c.pcm_bytes) << where;
        EXPECT_EQ(v->packet_duration_ms(), c.packet_ms) << where;
        EXPECT_EQ(v->has_short_frame(), c.short_frame != 0) << where;
        EXPECT_EQ(v->short_frame_size(), c.short_frame) << where;
    }
}

TEST(CodecGeometry, FullPacketFillsThePayloadAndSmallBuffersAreNeverOverrun) {
    for (vocoder_code code : {VOCODER_G711U, VOCODER_G711A, VOCODER_G723, VOCODER_G729}) {
        for (uint32_t pack : {1u, 2u, 4u}) {
            auto v = create_vocoder(code, pack);
            ASSERT_NE(v, nullptr);
            std::vector<int16_t> pcm(v->decoded_frame_size() / 2 * pack);
            for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>((i * 397) % 4000);
            std::vector<uint8_t> payload(v->encoded_frame_size() * pack + 8);
            uint32_t written = 0;
            EXPECT_TRUE(v->encode(pcm.data(), static_cast<uint32_t>(pcm.size() * 2), payload.data(),
                                  static_cast<uint32_t>(payload.size()), &written));
            EXPECT_EQ(written, v->encoded_frame_size() * pack)
                << v->info().short_name << " " << pack;
            std::vector<int16_t> out(pcm.size() + 8);
            uint32_t decoded = 0;
            EXPECT_TRUE(v->decode(payload.data(), written, out.data(),
                                  static_cast<uint32_t>(out.size() * 2), &decoded));
            EXPECT_EQ(decoded, pcm.size() * 2) << v->info().short_name << " " << pack;
            // Room for one frame only: at most one frame may be written.
            v->encode(pcm.data(), static_cast<uint32_t>(pcm.size() * 2), payload.data(),
                      v->encoded_frame_size(), &written);
            EXPECT_LE(written, v->encoded_frame_size()) << v->info().short_name << " " << pack;
            v->decode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(),
                      v->decoded_frame_size(), &decoded);
            EXPECT_LE(decoded, v->decoded_frame_size()) << v->info().short_name << " " << pack;
        }
    }
}

TEST(CodecGeometry, UnknownCodesAndZeroPackAreRefused) {
    EXPECT_EQ(create_vocoder(4, 1), nullptr);
    EXPECT_EQ(create_vocoder(-1, 1), nullptr);
    EXPECT_EQ(create_vocoder(VOCODER_G729, 0), nullptr);
    EXPECT_EQ(find_codec_by_name("g726"), nullptr);
    EXPECT_EQ(find_codec_by_name("g723")->code, VOCODER_G723);
}

}  // namespace
}  // namespace voxline::test
