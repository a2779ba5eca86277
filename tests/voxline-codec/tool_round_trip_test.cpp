#include <cmath>

#include "signal_metrics.h"
#include "tool_fixture.h"
#include "wav_file.h"

namespace voxline::test {
namespace {

// Two seconds of tone bursts of changing pitch and level: an envelope to follow.
std::vector<int16_t> bursts() {
    std::vector<int16_t> pcm(16000);
    for (size_t i = 0; i < pcm.size(); ++i) {
        const size_t burst = i / 1200;
        if (burst % 2 == 1) continue;
        const double level = 3000.0 + 2500.0 * double(burst % 5);
        pcm[i] = static_cast<int16_t>(
            level * std::sin(2 * M_PI * (300.0 + 90.0 * double(burst)) * double(i) / 8000.0));
    }
    return pcm;
}

struct codec_case {
    const char* codec;
    int pack;
    size_t raw_bytes;        // two seconds as whole payloads
    double min_correlation;  // of the 20 ms energy envelopes
};

TEST(ToolRoundTrip, EveryCodecKeepsTheEnvelope) {
    const std::vector<int16_t> input = bursts();
    const std::string wav = path("bursts.wav");
    std::string error;
    ASSERT_TRUE(write_wav_file(wav, input, error)) << error;
    const codec_case cases[] = {
        {"g711u", 0, 16000, 0.99},
        {"g711a", 2, 16000, 0.99},
        {"g729", 2, 2000, 0.9},
        // 16000 samples are 66.7 frames of 30 ms: 67 frames after padding, 34 packets of 2.
        {"g723", 2, 34 * 48, 0.9},
    };
    for (const codec_case& c : cases) {
        const std::vector<int16_t> out = round_trip(c.codec, wav, c.pack);
        std::vector<uint8_t> raw;
        ASSERT_TRUE(read_binary_file(path(std::string(c.codec) + ".raw"), raw, error));
        EXPECT_EQ(raw.size(), c.raw_bytes) << c.codec;
        ASSERT_GE(out.size(), input.size()) << c.codec;
        EXPECT_LT(out.size(), input.size() + 480) << c.codec;
        const size_t lag = best_lag(input, out, 240);
        EXPECT_GT(envelope_correlation(input, advance(out, lag)), c.min_correlation)
            << c.codec << " (lag " << lag << ")";
    }
}

TEST(ToolRoundTrip, RefusesWhatItCannotUse) {
    // A 16 kHz WAV: same layout, other rate.
    std::string error;
    ASSERT_TRUE(write_wav_file(path("rate.wav"), std::vector<int16_t>(800), error));
    std::vector<uint8_t> image;
    ASSERT_TRUE(read_binary_file(path("rate.wav"), image, error));
    image[24] = 0x80;  // 16000 Hz = 0x3E80
    image[25] = 0x3E;
    ASSERT_TRUE(write_binary_file(path("rate.wav"), image.data(), image.size(), error));

    struct refusal {
        std::string arguments;
        const char* message;
    };
    const refusal cases[] = {
        {"encode g711u " + path("rate.wav") + " " + path("x.raw"), "unsupported WAV format"},
        {"encode g726 " + path("rate.wav") + " " + path("x.raw"), "unknown codec"},
        {"encode g729 " + path("missing.wav") + " " + path("x.raw"), "No such file"},
        {"encode g729 " + path("rate.wav") + " " + path("x.raw") + " --pack 0", "--pack"},
        {"decode g729 " + path("x.raw") + " " + path("y.wav") + " --pack 251", "--pack"},
        {"transcode g729 a b", "usage"},
    };
    for (const refusal& r : cases) {
        const run_result result = run_tool(r.arguments);
        EXPECT_NE(result.exit_code, 0) << r.arguments;
        EXPECT_NE(result.errors.find(r.message), std::string::npos)
            << r.arguments << ": " << result.errors;
    }
}

TEST(ToolRoundTrip, WarnsAboutATrailingPartialFrame) {
    std::string error;
    const std::vector<uint8_t> raw(25, 0x00);  // two G.729 frames and 5 stray bytes
    ASSERT_TRUE(write_binary_file(path("partial.raw"), raw.data(), raw.size(), error));
    const run_result result = run_tool("decode g729 " + path("partial.raw") + " " + path("p.wav"));
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    EXPECT_NE(result.errors.find("5 trailing byte(s)"), std::string::npos) << result.errors;
    std::vector<int16_t> pcm;
    ASSERT_TRUE(read_wav_file(path("p.wav"), pcm, error)) << error;
    EXPECT_EQ(pcm.size(), 160u);
}

}  // namespace
}  // namespace voxline::test
