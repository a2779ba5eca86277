// The voxline-codec tool end to end, and the WAV reader it shares with the engine.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <numeric>
#include <tuple>

#include "support/temp_home.h"
#include "wav_file.h"

namespace voxline::test {
namespace {

std::string path(const std::string& name) {
    return process_temp_home() + "/" + name;
}

// The exit code, and what the tool wrote to stderr.
std::pair<int, std::string> run_tool(const std::string& arguments) {
    const int status = std::system(
        (std::string(VOXLINE_CODEC_TOOL) + " " + arguments + " 2>" + path("stderr.txt")).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(path("stderr.txt"))};
}

TEST(ToolRoundTrip, EveryCodecWritesWholePayloadsAndDecodesToTheSameLength) {
    std::vector<int16_t> input(16000);  // two seconds of a 440 Hz tone
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * 440 * double(i) / 8000));
    std::string error;
    ASSERT_TRUE(write_wav_file(path("tone.wav"), input, error)) << error;
    const std::tuple<std::string, std::string, size_t> cases[] = {
        // codec, pack, raw bytes
        {"g711u", "", 16000},
        {"g711a", " --pack 2", 16000},
        {"g729", " --pack 2", 2000},
        // 16000 samples are 66.7 frames of 30 ms: 67 frames after padding, 34 packets of 2.
        {"g723", " --pack 2", 34 * 48},
    };
    for (const auto& [codec, pack, raw_bytes] : cases) {
        SCOPED_TRACE(codec);
        const std::string raw = path(codec + ".raw"), out = path(codec + ".wav");
        auto [code, errors] =
            run_tool("encode " + codec + " " + path("tone.wav") + " " + raw + pack);
        ASSERT_EQ(code, 0) << errors;
        std::tie(code, errors) = run_tool("decode " + codec + " " + raw + " " + out + pack);
        ASSERT_EQ(code, 0) << errors;
        std::vector<uint8_t> bytes;
        std::vector<int16_t> pcm;
        ASSERT_TRUE(read_binary_file(raw, bytes, error));
        EXPECT_EQ(bytes.size(), raw_bytes);
        ASSERT_TRUE(read_wav_file(out, pcm, error)) << error;
        EXPECT_TRUE(pcm.size() >= input.size() && pcm.size() < input.size() + 480) << pcm.size();
        auto energy = [](const std::vector<int16_t>& v) {
            return std::inner_product(v.begin(), v.end(), v.begin(), 0.0);
        };
        EXPECT_NEAR(10 * std::log10(energy(pcm) / energy(input)), 0, 6);
    }
}

std::vector<uint8_t> image(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                           std::vector<uint8_t> data, uint32_t data_length_field = 0) {
    std::vector<uint8_t> v;
    auto le = [&](uint32_t x, int bytes) {
        for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> 8 * i));
    };
    auto text = [&](const char* four) {
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(four[i]));
    };
    text("RIFF"), le(0, 4), text("WAVE");
    // An unrelated chunk of odd length first: readers must skip it and its pad byte.
    text("LIST"), le(3, 4), text("abc");
    text("fmt "), le(16, 4), le(tag, 2), le(channels, 2), le(rate, 4);
    le(rate * channels * bits / 8, 4), le(channels * bits / 8, 2), le(bits, 2);
    text("data"), le(data_length_field ? data_length_field : uint32_t(data.size()), 4);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

TEST(ToolRoundTrip, RefusesWhatItCannotUseAndWarnsAboutATrailingPartialFrame) {
    std::string error;
    const std::vector<uint8_t> rate = image(1, 1, 16000, 16, std::vector<uint8_t>(1600));
    ASSERT_TRUE(write_binary_file(path("rate.wav"), rate.data(), rate.size(), error));
    const std::string cases[][2] = {
        {"encode g711u " + path("rate.wav") + " " + path("x.raw"), "unsupported WAV format"},
        {"encode g726 " + path("rate.wav") + " " + path("x.raw"), "unknown codec"},
        {"encode g729 " + path("missing.wav") + " " + path("x.raw"), "No such file"},
        {"encode g729 " + path("rate.wav") + " " + path("x.raw") + " --pack 0", "--pack"},
        {"decode g729 " + path("x.raw") + " " + path("y.wav") + " --pack 251", "--pack"},
        {"transcode g729 a b", "usage"},
    };
    for (const auto& c : cases) {
        const auto [code, errors] = run_tool(c[0]);
        EXPECT_TRUE(code != 0 && errors.find(c[1]) != std::string::npos) << c[0] << ": " << errors;
    }

    const std::vector<uint8_t> raw(25, 0x00);  // two G.729 frames and 5 stray bytes
    ASSERT_TRUE(write_binary_file(path("partial.raw"), raw.data(), raw.size(), error));
    const auto [code, errors] =
        run_tool("decode g729 " + path("partial.raw") + " " + path("p.wav"));
    EXPECT_TRUE(code == 0 && errors.find("5 trailing byte(s)") != std::string::npos) << errors;
    std::vector<int16_t> pcm;
    ASSERT_TRUE(read_wav_file(path("p.wav"), pcm, error)) << error;
    EXPECT_EQ(pcm.size(), 160u);
}

TEST(WavFile, ReadsOnly8kMono16Bit) {
    const std::vector<uint8_t> two = {0x01, 0x00, 0xFF, 0xFF};
    // The samples read; none: refused.
    const std::pair<std::vector<uint8_t>, std::vector<int16_t>> cases[] = {
        {image(1, 1, 8000, 16, two), {1, -1}},
        {image(1, 1, 8000, 16, two, 0xFFFFFFFF), {1, -1}},  // open-ended data length
        {image(1, 1, 8000, 16, {0x01, 0x00, 0x07}), {1}},   // odd trailing byte
        {image(1, 2, 8000, 16, two), {}},
        {image(1, 1, 8000, 8, two), {}},
        {image(6, 1, 8000, 8, two), {}},  // A-law
        {{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, {}},
        {{'R', 'I', 'F', 'F'}, {}},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 2, 0, 0, 0, 1, 0},
         {}},  // data before the format
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        std::vector<int16_t> samples;
        std::string error;
        EXPECT_EQ(parse_wav(bytes.data(), bytes.size(), samples, error), !expected.empty());
        EXPECT_TRUE(expected.empty() ? !error.empty() : samples == expected);
    }
}

}  // namespace
}  // namespace voxline::test
