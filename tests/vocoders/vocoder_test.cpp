// The codec table and the codecs' framing; how well they keep speech is heard in calls.
#include "vocoders/vocoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "support/temp_home.h"  // the codecs log on failure

namespace voxline::test {
namespace {

// Sizes per pack count: the RTP geometry; whole payloads: the voxline-codec tool; writes past the
// room: the vocoder fuzz target.
TEST(CodecTable, PayloadTypesAndUnknownCodes) {
    for (auto [code, payload_type] : {std::pair{VOCODER_G711U, 0u},
                                      {VOCODER_G711A, 8u},
                                      {VOCODER_G723, 4u},
                                      {VOCODER_G729, 18u}})
        EXPECT_EQ(create_vocoder(code, 3)->info().payload_type, payload_type) << code;
    for (auto [code, pack] : {std::pair{4, 1}, {-1, 1}, {int(VOCODER_G729), 0}})
        EXPECT_EQ(create_vocoder(code, pack), nullptr) << code << "/" << pack;
    EXPECT_EQ(find_codec_by_name("g726"), nullptr);
    EXPECT_EQ(find_codec_by_name("g723")->code, VOCODER_G723);
}

std::vector<int16_t> decode_all(vocoder_t& v, const std::vector<uint8_t>& codes) {
    std::vector<int16_t> pcm(codes.size());
    uint32_t bytes = 0;
    v.decode(codes.data(), static_cast<uint32_t>(codes.size()), pcm.data(),
             static_cast<uint32_t>(pcm.size() * 2), &bytes);
    pcm.resize(bytes / 2);
    return pcm;
}

std::vector<uint8_t> encode_all(vocoder_t& v, const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> codes(pcm.size());
    uint32_t bytes = 0;
    v.encode(pcm.data(), static_cast<uint32_t>(pcm.size() * 2), codes.data(),
             static_cast<uint32_t>(codes.size()), &bytes);
    codes.resize(bytes);
    return codes;
}

// Law, code, linear value.
using code_point = std::tuple<vocoder_code, uint8_t, int16_t>;

// Segment edges of the ITU-T G.711 decoder tables.
const code_point k_expansions[] = {
    {VOCODER_G711U, 0xFF, 0},      {VOCODER_G711U, 0x7F, 0},     {VOCODER_G711U, 0x80, 32124},
    {VOCODER_G711U, 0x00, -32124}, {VOCODER_G711U, 0x8F, 16764}, {VOCODER_G711U, 0x90, 15996},
    {VOCODER_G711U, 0xEF, 132},    {VOCODER_G711U, 0xF0, 120},   {VOCODER_G711U, 0xFE, 8},
    {VOCODER_G711U, 0x7E, -8},     {VOCODER_G711A, 0xD5, 8},     {VOCODER_G711A, 0x55, -8},
    {VOCODER_G711A, 0xDA, 248},    {VOCODER_G711A, 0xC5, 264},   {VOCODER_G711A, 0xAA, 32256},
    {VOCODER_G711A, 0x2A, -32256}, {VOCODER_G711A, 0xA5, 16896}, {VOCODER_G711A, 0xBA, 16128},
};

// Encoder decisions at the same edges.
const code_point k_compressions[] = {
    {VOCODER_G711U, 0xFF, 0},      {VOCODER_G711U, 0x80, 32767}, {VOCODER_G711U, 0x00, -32768},
    {VOCODER_G711U, 0xFE, 8},      {VOCODER_G711U, 0xEF, 132},   {VOCODER_G711U, 0x7E, -8},
    {VOCODER_G711A, 0xD5, 0},      {VOCODER_G711A, 0x55, -1},    {VOCODER_G711A, 0xAA, 32767},
    {VOCODER_G711A, 0x2A, -32768}, {VOCODER_G711A, 0xC5, 264},   {VOCODER_G711A, 0xDA, 248},
};

TEST(G711, ExpansionAndCompressionAtSegmentEdges) {
    for (const auto& [law, code, linear] : k_expansions) {
        auto v = create_vocoder(law, 2);
        EXPECT_EQ(decode_all(*v, {code}), std::vector<int16_t>{linear})
            << v->info().short_name << " code 0x" << std::hex << int(code);
    }
    for (const auto& [law, code, linear] : k_compressions) {
        auto v = create_vocoder(law, 2);
        // Fresh, after another sample, and repeated (the encoder's shortcut).
        const uint8_t other = encode_all(*v, {1234})[0];
        EXPECT_EQ(encode_all(*create_vocoder(law, 2), {linear, 1234, linear, linear}),
                  (std::vector<uint8_t>{code, other, code, code}))
            << v->info().short_name << " sample " << linear;
    }
}

TEST(G711, EveryCodeSurvivesARoundTripAndEncodingIsMonotonic) {
    for (vocoder_code law : {VOCODER_G711U, VOCODER_G711A}) {
        auto v = create_vocoder(law, 2);
        std::vector<uint8_t> all(256);
        for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
        const std::vector<int16_t> levels = decode_all(*v, all);
        EXPECT_EQ(decode_all(*v, encode_all(*v, levels)), levels) << v->info().short_name;

        std::vector<int16_t> ramp;
        for (int s = -32768; s <= 32767; ++s) ramp.push_back(static_cast<int16_t>(s));
        const std::vector<int16_t> back = decode_all(*v, encode_all(*v, ramp));
        ASSERT_EQ(back.size(), ramp.size());
        for (size_t i = 1; i < back.size(); ++i)
            ASSERT_LE(back[i - 1], back[i]) << v->info().short_name << " at " << ramp[i];
        // Largest quantisation step is 1024 (A-law) or 1024 + bias (mu-law) at full scale.
        for (size_t i = 0; i < back.size(); ++i)
            ASSERT_LE(std::abs(back[i] - ramp[i]), 1200)
                << v->info().short_name << " at " << ramp[i];
    }
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(G723, DecodesMixedFrameLengthsNothingAsTheFixedPatternEncodesWholeFrames) {
    const std::vector<uint8_t> silence = {0x02, 0x40, 0x21, 0x10}, full(24, 0x00);
    // Name, payload, room in frames, frames decoded.
    const std::tuple<const char*, std::vector<uint8_t>, uint32_t, uint32_t> cases[] = {
        {"one 4-byte frame", silence, 4, 1},
        {"full then silence", full + silence, 4, 2},
        {"silence then full", silence + full, 4, 2},
        {"six silence frames in 24 bytes",
         silence + silence + silence + silence + silence + silence, 8, 6},
        {"more frames than room", silence + silence + silence, 2, 2},
        {"full frame cut short", std::vector<uint8_t>(10, 0x00), 4, 0},
        {"fewer than 4 bytes after a frame", silence + std::vector<uint8_t>{0x02, 0x00}, 4, 1},
    };
    for (const auto& [name, payload, room, frames] : cases) {
        auto v = create_vocoder(VOCODER_G723, 1);
        std::vector<int16_t> pcm(240 * room + 16, 0x5555);
        uint32_t bytes = 0;
        EXPECT_TRUE(v->decode(payload.data(), static_cast<uint32_t>(payload.size()), pcm.data(),
                              240 * 2 * room, &bytes));
        EXPECT_EQ(bytes, 480 * frames) << name;
        EXPECT_EQ(pcm[240 * room], 0x5555) << name << ": wrote past the capacity";
    }
    auto v = create_vocoder(VOCODER_G723, 1);
    std::vector<int16_t> pcm(240);
    uint32_t bytes = 0;
    ASSERT_TRUE(v->decode(nullptr, 0, pcm.data(), 480, &bytes));
    ASSERT_EQ(bytes, 480u);
    const int16_t pattern[] = {-3, -4, -6, -5};
    for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(pcm[i], pattern[i % 4]) << i;

    v = create_vocoder(VOCODER_G723, 2);  // encodes whole 30 ms frames only
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
