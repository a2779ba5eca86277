// A sound system without a card for the tests of this folder: ALSA_CONFIG_PATH points at a
// filled-in test-asound.conf.in, made once before any test runs (PortAudio reads the
// configuration once per process), and removed at the end.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
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
        for (const auto& [key, value] : {std::pair{"@MIC_FILE@", alsa_dir() + "/mic.raw"},
                                         std::pair{"@SPEAKER_FILE@", alsa_dir() + "/speaker.raw"}})
            for (size_t at; (at = config.find(key)) != std::string::npos;)
                config.replace(at, std::string_view(key).size(), value);
        std::ofstream(alsa_dir() + "/asound.conf") << config;
        setenv("ALSA_CONFIG_PATH", (alsa_dir() + "/asound.conf").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(alsa_dir()); }
};

inline auto* const g_alsa_test_system = ::testing::AddGlobalTestEnvironment(new alsa_test_system);

// Everything ALSA, JACK or PortAudio would print goes to fd 2, not through stdio alone.
class stderr_capture {
  public:
    void start() {
        std::fflush(stderr);
        m_saved = dup(2);
        const int file = open((alsa_dir() + "/stderr").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        dup2(file, 2);
        ::close(file);
    }
    std::string stop() {
        std::fflush(stderr);
        dup2(m_saved, 2);
        ::close(m_saved);
        return read_file(alsa_dir() + "/stderr");
    }

  private:
    int m_saved = -1;
};

}  // namespace voxline::test
