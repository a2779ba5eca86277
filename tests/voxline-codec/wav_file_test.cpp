#include "wav_file.h"

#include <gtest/gtest.h>

#include <cstring>

namespace voxline::test {
namespace {

std::vector<uint8_t> image(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                           std::vector<uint8_t> data, uint32_t data_length_field = 0) {
    auto le16 = [](std::vector<uint8_t>& v, uint16_t x) {
        v.push_back(x & 0xFF);
        v.push_back(x >> 8);
    };
    auto le32 = [&](std::vector<uint8_t>& v, uint32_t x) {
        le16(v, x & 0xFFFF);
        le16(v, x >> 16);
    };
    std::vector<uint8_t> v = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    // An unrelated chunk of odd length first: readers must skip it and its pad byte.
    v.insert(v.end(), {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
    v.insert(v.end(), {'f', 'm', 't', ' '});
    le32(v, 16);
    le16(v, tag);
    le16(v, channels);
    le32(v, rate);
    le32(v, rate * channels * bits / 8);
    le16(v, static_cast<uint16_t>(channels * bits / 8));
    le16(v, bits);
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    le32(v, data_length_field ? data_length_field : static_cast<uint32_t>(data.size()));
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

TEST(WavFile, ReadsOnly8kMono16Bit) {
    struct wav_case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool accepted;
        std::vector<int16_t> samples;
    };
    const std::vector<uint8_t> two = {0x01, 0x00, 0xFF, 0xFF};
    const wav_case cases[] = {
        {"8 kHz mono 16-bit", image(1, 1, 8000, 16, two), true, {1, -1}},
        {"open-ended data length", image(1, 1, 8000, 16, two, 0xFFFFFFFF), true, {1, -1}},
        {"odd trailing byte", image(1, 1, 8000, 16, {0x01, 0x00, 0x07}), true, {1}},
        {"stereo", image(1, 2, 8000, 16, two), false, {}},
        {"16 kHz", image(1, 1, 16000, 16, two), false, {}},
        {"8-bit", image(1, 1, 8000, 8, two), false, {}},
        {"A-law coded", image(6, 1, 8000, 8, two), false, {}},
        {"not RIFF", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, false, {}},
        {"truncated header", {'R', 'I', 'F', 'F'}, false, {}},
        {"data before format",
         {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 2, 0, 0, 0, 1, 0},
         false,
         {}},
    };
    for (const wav_case& c : cases) {
        std::vector<int16_t> samples;
        std::string error;
        EXPECT_EQ(parse_wav(c.bytes.data(), c.bytes.size(), samples, error), c.accepted) << c.name;
        if (c.accepted)
            EXPECT_EQ(samples, c.samples) << c.name;
        else
            EXPECT_FALSE(error.empty()) << c.name;
    }
}

}  // namespace
}  // namespace voxline::test
