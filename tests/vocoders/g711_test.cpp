#include <gtest/gtest.h>

#include <cstdlib>

#include "vocoders/g711_law.h"
#include "vocoders/vocoder.h"

namespace voxline::test {
namespace {

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

struct code_point {
    vocoder_code law;
    uint8_t code;
    int16_t linear;
};

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
    for (const code_point& p : k_expansions) {
        auto v = create_vocoder(p.law, 2);
        EXPECT_EQ(decode_all(*v, {p.code}), std::vector<int16_t>{p.linear})
            << v->info().short_name << " code 0x" << std::hex << int(p.code);
    }
    for (const code_point& p : k_compressions) {
        auto v = create_vocoder(p.law, 2);
        // A different sample first, so that the repeated-sample shortcut is not what answers.
        EXPECT_EQ(encode_all(*v, {1234, p.linear})[1], p.code)
            << v->info().short_name << " sample " << p.linear;
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

TEST(G711, RepeatedSamplesEncodeLikeFreshOnes) {
    const std::vector<int16_t> pcm = {0, 0, 5, 5, -5, -5, 1000, 1000, 0, -32768, -32768, 7};
    for (vocoder_code law : {VOCODER_G711U, VOCODER_G711A}) {
        auto v = create_vocoder(law, 2);
        const std::vector<uint8_t> codes = encode_all(*v, pcm);
        ASSERT_EQ(codes.size(), pcm.size());
        for (size_t i = 0; i < pcm.size(); ++i)
            EXPECT_EQ(codes[i],
                      law == VOCODER_G711A ? g711::encode_alaw(pcm[i]) : g711::encode_ulaw(pcm[i]))
                << i;
    }
}

}  // namespace
}  // namespace voxline::test
