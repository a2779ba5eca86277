// The voxline-codec tool end to end, its files in the process's private directory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include "support/temp_home.h"
#include "wav_file.h"

namespace voxline::test {
namespace {

std::string path(const std::string& name) {
    return process_temp_home() + "/" + name;
}

struct run_result {
    int exit_code;
    std::string errors;
};

run_result run_tool(const std::string& arguments) {
    const std::string errors = path("stderr.txt");
    const int status =
        std::system((std::string(VOXLINE_CODEC_TOOL) + " " + arguments + " 2>" + errors).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(errors)};
}

// Pearson correlation of the 20 ms frame-energy envelopes.
double envelope_correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size()) / 160;
    std::vector<double> x(n), y(n);
    for (size_t i = 0; i < n * 160; ++i) {
        x[i / 160] += double(a[i]) * a[i];
        y[i / 160] += double(b[i]) * b[i];
    }
    double mx = 0, my = 0, sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < n; ++i) mx += x[i] / double(n), my += y[i] / double(n);
    for (size_t i = 0; i < n; ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return (sxx > 0 && syy > 0) ? sxy / std::sqrt(sxx * syy) : 0;
}

// The delay of `delayed` behind `reference` that correlates best; codecs
// with look-ahead return their audio late.
size_t best_lag(const std::vector<int16_t>& reference, const std::vector<int16_t>& delayed,
                size_t max_lag) {
    size_t best = 0;
    double best_score = -1e300;
    for (size_t lag = 0; lag <= max_lag && lag < delayed.size(); ++lag) {
        double score = 0;
        for (size_t i = 0; i < std::min(reference.size(), delayed.size() - lag); ++i)
            score += double(reference[i]) * delayed[i + lag];
        if (score > best_score) best_score = score, best = lag;
    }
    return best;
}

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

TEST(ToolRoundTrip, EveryCodecKeepsTheEnvelope) {
    const std::vector<int16_t> input = bursts();
    const std::string wav = path("bursts.wav");
    std::string error;
    ASSERT_TRUE(write_wav_file(wav, input, error)) << error;
    const struct {
        std::string codec, pack;
        size_t raw_bytes;        // two seconds as whole payloads
        double min_correlation;  // of the 20 ms energy envelopes
    } cases[] = {
        {"g711u", "", 16000, 0.99},
        {"g711a", " --pack 2", 16000, 0.99},
        {"g729", " --pack 2", 2000, 0.9},
        // 16000 samples are 66.7 frames of 30 ms: 67 frames after padding, 34 packets of 2.
        {"g723", " --pack 2", 34 * 48, 0.9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        const std::string raw = path(c.codec + ".raw"), out = path(c.codec + ".wav");
        run_result result = run_tool("encode " + c.codec + " " + wav + " " + raw + c.pack);
        ASSERT_EQ(result.exit_code, 0) << result.errors;
        result = run_tool("decode " + c.codec + " " + raw + " " + out + c.pack);
        ASSERT_EQ(result.exit_code, 0) << result.errors;
        std::vector<uint8_t> bytes;
        std::vector<int16_t> pcm;
        ASSERT_TRUE(read_binary_file(raw, bytes, error));
        EXPECT_EQ(bytes.size(), c.raw_bytes);
        ASSERT_TRUE(read_wav_file(out, pcm, error)) << error;
        ASSERT_GE(pcm.size(), input.size());
        EXPECT_LT(pcm.size(), input.size() + 480);
        const size_t lag = best_lag(input, pcm, 240);
        pcm.erase(pcm.begin(), pcm.begin() + static_cast<ptrdiff_t>(lag));
        EXPECT_GT(envelope_correlation(input, pcm), c.min_correlation) << "lag " << lag;
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

    const std::string cases[][2] = {
        {"encode g711u " + path("rate.wav") + " " + path("x.raw"), "unsupported WAV format"},
        {"encode g726 " + path("rate.wav") + " " + path("x.raw"), "unknown codec"},
        {"encode g729 " + path("missing.wav") + " " + path("x.raw"), "No such file"},
        {"encode g729 " + path("rate.wav") + " " + path("x.raw") + " --pack 0", "--pack"},
        {"decode g729 " + path("x.raw") + " " + path("y.wav") + " --pack 251", "--pack"},
        {"transcode g729 a b", "usage"},
    };
    for (const auto& c : cases) {
        const run_result result = run_tool(c[0]);
        EXPECT_NE(result.exit_code, 0) << c[0];
        EXPECT_NE(result.errors.find(c[1]), std::string::npos) << c[0] << ": " << result.errors;
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
