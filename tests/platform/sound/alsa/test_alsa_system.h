// A sound system without a card for the tests of this folder: ALSA_CONFIG_PATH points at a
// filled-in test-asound.conf.in, made once before any test runs (PortAudio reads the
// configuration once per process), and removed at the end.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <regex>
#include <string>
#include <vector>

#include "platform/sound/wav_file.h"
#include "support/temp_home.h"

namespace voxline::test {

constexpr int k_mic_peak = 10000;
// Samples per cycle in the mic file: 66.7 Hz read at 8 kHz, 400 Hz read at 48 kHz, both
// well inside a phone's band.
constexpr int k_mic_period = 120;

inline int16_t mic_sample(size_t i) {
    return static_cast<int16_t>(std::lround(
        k_mic_peak * std::sin(2 * std::numbers::pi * double(i % k_mic_period) / k_mic_period)));
}

inline std::string& alsa_dir() {
    static std::string dir;
    return dir;
}

class alsa_test_system : public ::testing::Environment {
  public:
    void SetUp() override {
        char pattern[] = "/tmp/voxline-alsa-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        alsa_dir() = pattern;
        std::vector<int16_t> mic(48000 * 5);  // 5 s at the highest rate used
        for (size_t i = 0; i < mic.size(); ++i) mic[i] = mic_sample(i);
        std::string error;
        ASSERT_TRUE(write_binary_file(alsa_dir() + "/mic.raw",
                                      reinterpret_cast<const uint8_t*>(mic.data()), mic.size() * 2,
                                      error))
            << error;
        std::string config = read_file(VXL_TEST_ASOUND_TEMPLATE);
        ASSERT_FALSE(config.empty());
        config = std::regex_replace(config, std::regex("@MIC_FILE@"), alsa_dir() + "/mic.raw");
        config =
            std::regex_replace(config, std::regex("@SPEAKER_FILE@"), alsa_dir() + "/speaker.raw");
        std::ofstream(alsa_dir() + "/asound.conf") << config;
        setenv("ALSA_CONFIG_PATH", (alsa_dir() + "/asound.conf").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(alsa_dir()); }
};

inline auto* const g_alsa_test_system = ::testing::AddGlobalTestEnvironment(new alsa_test_system);

}  // namespace voxline::test
