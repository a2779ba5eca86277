// The PortAudio backend over a test ALSA configuration without a card: ALSA_CONFIG_PATH points at
// a filled-in test-asound.conf.in (a file-backed microphone and speaker), made once before any
// test runs (PortAudio reads the configuration once per process) and removed at the end. The
// devices are unclocked, so nothing here measures time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_mixer.h"
#include "platform/sound/sound_player.h"
#include "platform/sound/wav_file.h"
#include "support/eventually.h"
#include "virtual_card_fixture.h"

namespace voxline::test {
namespace {

constexpr int k_mic_peak = 10000;
// Samples per cycle in the mic file: 66.7 Hz read at 8 kHz, 400 Hz read at 48 kHz, both
// well inside a phone's band.
constexpr int k_mic_period = 120;

int16_t mic_sample(size_t i) {
    return static_cast<int16_t>(std::lround(
        k_mic_peak * std::sin(2 * std::numbers::pi * double(i % k_mic_period) / k_mic_period)));
}

std::string g_alsa_dir;

class alsa_test_system : public ::testing::Environment {
  public:
    void SetUp() override {
        char pattern[] = "/tmp/voxline-alsa-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        g_alsa_dir = pattern;
        std::vector<int16_t> mic(48000 * 5);  // 5 s at the highest rate used
        for (size_t i = 0; i < mic.size(); ++i) mic[i] = mic_sample(i);
        std::string error;
        ASSERT_TRUE(write_binary_file(g_alsa_dir + "/mic.raw",
                                      reinterpret_cast<const uint8_t*>(mic.data()), mic.size() * 2,
                                      error))
            << error;
        std::string config = read_file(VXL_TEST_ASOUND_TEMPLATE);
        ASSERT_FALSE(config.empty());
        config = std::regex_replace(config, std::regex("@MIC_FILE@"), g_alsa_dir + "/mic.raw");
        config =
            std::regex_replace(config, std::regex("@SPEAKER_FILE@"), g_alsa_dir + "/speaker.raw");
        std::ofstream(g_alsa_dir + "/asound.conf") << config;
        setenv("ALSA_CONFIG_PATH", (g_alsa_dir + "/asound.conf").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(g_alsa_dir); }
};

auto* const g_alsa_test_system = ::testing::AddGlobalTestEnvironment(new alsa_test_system);

class PortAudioAlsa : public ::testing::Test {
  protected:
    // Everything ALSA, JACK or PortAudio would print goes to fd 2, not through stdio alone.
    void SetUp() override {
        std::fflush(stderr);
        m_saved = dup(2);
        const int file = open((g_alsa_dir + "/stderr").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        dup2(file, 2);
        ::close(file);
    }
    void TearDown() override {
        EXPECT_EQ(wave_select_backend("virtual"), WAVE_OK);
        std::fflush(stderr);
        dup2(m_saved, 2);
        ::close(m_saved);
        EXPECT_EQ(read_file(g_alsa_dir + "/stderr"), "") << "the sound libraries wrote to stderr";
    }

    // Records `headers` buffers of 100 ms from the default or named input.
    std::vector<int16_t> capture(const char* selection, size_t headers) {
        EXPECT_EQ(wave_select_backend(selection), WAVE_OK);
        done_log log;
        const wave_handle in = open_device(true, done_log::callback, &log);
        std::vector<test_buffer> buffers(headers, test_buffer(800));
        queue_buffers(true, in, buffers);
        EXPECT_EQ(wave_in_start(in), WAVE_OK);
        EXPECT_TRUE(eventually([&] { return log.count() >= headers; }));
        EXPECT_EQ(wave_in_close(in), WAVE_OK);
        std::vector<int16_t> samples;
        for (const auto& b : buffers)
            samples.insert(samples.end(), b.pcm.begin(),
                           b.pcm.begin() + b.header.bytes_recorded / 2);
        return samples;
    }

    int m_saved = -1;
};

TEST_F(PortAudioAlsa, CapturesTheFileSampleForSampleAt8000HzAndResamples48000Hz) {
    std::vector<int16_t> got = capture("portaudio", 5);
    ASSERT_EQ(got.size(), 4000u);
    // Recording starts somewhere in the file: find the phase, then every sample must follow.
    size_t phase = 0;
    while (phase < k_mic_period && (got[0] != mic_sample(phase) || got[1] != mic_sample(phase + 1)))
        ++phase;
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], mic_sample(phase + i)) << "sample " << i;

    got = capture("portaudio:in=test_mic,rate=48000", 5);
    ASSERT_EQ(got.size(), 4000u);
    double sum = 0;
    int peak = 0, crossings = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        sum += double(got[i]) * got[i];
        peak = std::max(peak, std::abs(int(got[i])));
        if (i > 0 && (got[i - 1] < 0) != (got[i] < 0)) ++crossings;
    }
    EXPECT_NEAR(peak, k_mic_peak, k_mic_peak * 0.05);
    EXPECT_NEAR(std::sqrt(sum / got.size()), k_mic_peak / std::sqrt(2.0), k_mic_peak * 0.05);
    // 400 Hz over 0.5 s: 200 cycles, two crossings each.
    EXPECT_NEAR(crossings, 400, 4);
}

// Headers play without silence added between them; a sound closes its output from its callback.
TEST_F(PortAudioAlsa, PlaysHeadersAndASoundIntoTheSpeakerAndLetsGoOfTheOutput) {
    const std::string speaker = g_alsa_dir + "/speaker.raw";
    auto speaker_holds = [&](const std::vector<int16_t>& expected) {
        const std::string bytes = read_file(speaker);
        ASSERT_EQ(bytes.size(), expected.size() * 2);
        EXPECT_EQ(0, std::memcmp(bytes.data(), expected.data(), bytes.size()));
    };
    ASSERT_EQ(wave_select_backend("portaudio:out=test_speaker"), WAVE_OK);
    done_log log;
    const wave_handle out = open_device(false, done_log::callback, &log);
    std::vector<test_buffer> buffers(2, test_buffer(800)), third(1, test_buffer(800));
    const std::vector<int16_t> expected = ramp(1, 2400);
    for (size_t i = 0; i < expected.size(); ++i)
        (i < 1600 ? buffers[i / 800] : third[0]).pcm[i % 800] = expected[i];
    queue_buffers(false, out, buffers);
    ASSERT_TRUE(eventually([&] { return log.count() >= 2; }));
    queue_buffers(false, out, third);
    ASSERT_TRUE(eventually([&] { return log.count() >= 3; }));
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    speaker_holds(expected);

    ASSERT_EQ(wave_select_backend("portaudio"), WAVE_OK);
    const std::vector<int16_t> digit = ramp(-640, 1280);
    std::string error;
    std::vector<uint8_t> image;
    ASSERT_TRUE(write_wav_file(g_alsa_dir + "/digit.wav", digit, error)) << error;
    ASSERT_TRUE(read_binary_file(g_alsa_dir + "/digit.wav", image, error)) << error;
    ASSERT_TRUE(play_sound_async(image.data(), image.size()));
    // Once played, the sound has closed its output: the backend may be changed, which also
    // ends its driver thread.
    ASSERT_TRUE(eventually([] { return wave_select_backend("virtual") == WAVE_OK; }));
    // The thread may still be finishing when its callback dropped the last hold on the backend.
    eventually([&] { return read_file(speaker).size() >= digit.size() * 2; });
    speaker_holds(digit);
}

// The test system has no card and no control device, whatever the machine has: no mixer, as
// where there is none at all.
TEST_F(PortAudioAlsa, ListsTheTestDevicesRefusesUnknownOnesAndFindsNoMixer) {
    static std::vector<std::string> lines;
    wave_set_log_sink([](int, const char* line) { lines.push_back(line); });
    unsetenv("VOXLINE_AUDIO");
    ASSERT_EQ(wave_select_backend("portaudio"), WAVE_OK);
    std::vector<sound_device_info> devices;
    ASSERT_EQ(wave_list_devices(devices), WAVE_OK);
    std::set<std::string> listed, defaults;
    for (const auto& d : devices) {
        const std::string entry = (d.direction == wave_direction::input ? "in " : "out ") + d.name;
        listed.insert(entry);
        if (d.is_default) defaults.insert(entry);
    }
    for (const char* expected : {"in test_mic", "in default", "out test_speaker", "out default"})
        EXPECT_TRUE(listed.count(expected)) << expected;
    EXPECT_FALSE(listed.count("in null") || listed.count("out null"));
    EXPECT_EQ(defaults, (std::set<std::string>{"in default", "out default"}));

    std::unique_ptr<sound_mixer> mixers[] = {open_sound_mixer(), open_alsa_mixer("hw:99"),
                                             make_no_mixer()};
    for (auto& mixer : mixers) {
        EXPECT_FALSE(mixer->available());
        EXPECT_FALSE(mixer->speaker_level() || mixer->microphone_level());
        EXPECT_FALSE(mixer->set_speaker_level(0.5) || mixer->set_microphone_level(0.5));
        EXPECT_TRUE(mixer->poll_descriptors().empty());
        EXPECT_FALSE(mixer->handle_events());
    }
    wave_set_log_sink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.starts_with("mixerGetDevCaps returned 0x") ||
                    line.starts_with("mixerOpen returned 0x"))
            << line;

    const wave_format pcm;
    wave_handle handle = 0;
    EXPECT_EQ(wave_in_open(&handle, 99, &pcm, nullptr, nullptr), 2);
    ASSERT_EQ(wave_select_backend("portaudio:in=nosuch"), WAVE_OK);
    EXPECT_EQ(wave_in_open(&handle, k_wave_mapper, &pcm, nullptr, nullptr), 2);
    ASSERT_EQ(wave_select_backend("portaudio:out=nosuch"), WAVE_OK);
    EXPECT_EQ(wave_out_open(&handle, k_wave_mapper, &pcm, nullptr, nullptr), 2);
}

}  // namespace
}  // namespace voxline::test
