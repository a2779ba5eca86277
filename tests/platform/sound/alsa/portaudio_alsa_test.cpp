// The PortAudio backend over a test ALSA configuration (test-asound.conf.in): a file-backed
// microphone and speaker, no card. The devices are unclocked, so nothing here measures time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "alsa/test_alsa_system.h"
#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_player.h"
#include "virtual_card_fixture.h"

namespace voxline::test {
namespace {

bool wait_done(done_log& log, size_t count) {
    for (int waited = 0; log.count() < count && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return log.count() >= count;
}

class PortAudioAlsa : public ::testing::Test {
  protected:
    void SetUp() override { m_stderr.start(); }
    void TearDown() override {
        EXPECT_EQ(wave_select_backend("virtual"), WAVE_OK);
        EXPECT_EQ(m_stderr.stop(), "") << "the sound libraries wrote to stderr";
    }

    // Records `headers` buffers of 100 ms from the default or named input.
    std::vector<int16_t> capture(const char* selection, size_t headers) {
        EXPECT_EQ(wave_select_backend(selection), WAVE_OK);
        done_log log;
        wave_handle in = 0;
        const wave_format pcm;
        EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, done_log::callback, &log), WAVE_OK);
        std::vector<test_buffer> buffers(headers, test_buffer(800));
        for (auto& b : buffers) {
            EXPECT_EQ(wave_in_prepare(in, &b.header), WAVE_OK);
            EXPECT_EQ(wave_in_add_buffer(in, &b.header), WAVE_OK);
        }
        EXPECT_EQ(wave_in_start(in), WAVE_OK);
        EXPECT_TRUE(wait_done(log, headers));
        EXPECT_EQ(wave_in_close(in), WAVE_OK);
        std::vector<int16_t> samples;
        for (const auto& b : buffers)
            samples.insert(samples.end(), b.pcm.begin(),
                           b.pcm.begin() + b.header.bytes_recorded / 2);
        return samples;
    }

    stderr_capture m_stderr;
};

TEST_F(PortAudioAlsa, ListsTheTestDevicesWithTheDefaultMarked) {
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
}

TEST_F(PortAudioAlsa, CapturesTheFileSampleForSampleAt8000Hz) {
    const std::vector<int16_t> got = capture("portaudio", 5);
    ASSERT_EQ(got.size(), 4000u);
    // Recording starts somewhere in the file: find the phase, then every sample must follow.
    size_t phase = 0;
    while (phase < k_mic_period && (got[0] != mic_sample(phase) || got[1] != mic_sample(phase + 1)))
        ++phase;
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], mic_sample(phase + i)) << "sample " << i;
}

TEST_F(PortAudioAlsa, ResamplesADeviceAt48000HzToTheSameLevel) {
    const std::vector<int16_t> got = capture("portaudio:in=test_mic,rate=48000", 5);
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

TEST_F(PortAudioAlsa, PlaysHeadersIntoTheSpeakerWithoutAddingSilence) {
    ASSERT_EQ(wave_select_backend("portaudio:out=test_speaker"), WAVE_OK);
    done_log log;
    wave_handle out = 0;
    const wave_format pcm;
    ASSERT_EQ(wave_out_open(&out, k_wave_mapper, &pcm, done_log::callback, &log), WAVE_OK);
    std::vector<test_buffer> buffers;
    std::vector<int16_t> expected;
    for (int b = 0; b < 3; ++b) {
        buffers.emplace_back(800);
        for (size_t i = 0; i < 800; ++i) buffers.back().pcm[i] = int16_t(1 + b * 800 + i);
        expected.insert(expected.end(), buffers.back().pcm.begin(), buffers.back().pcm.end());
    }
    for (int b = 0; b < 3; ++b) {
        ASSERT_EQ(wave_out_prepare(out, &buffers[b].header), WAVE_OK);
        ASSERT_EQ(wave_out_write(out, &buffers[b].header), WAVE_OK);
        // The third comes after the first two have played: the output has run dry meanwhile.
        if (b == 1) {
            ASSERT_TRUE(wait_done(log, 2));
        }
    }
    ASSERT_TRUE(wait_done(log, 3));
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    const std::string bytes = read_file(alsa_dir() + "/speaker.raw");
    ASSERT_EQ(bytes.size(), expected.size() * 2);
    EXPECT_EQ(0, std::memcmp(bytes.data(), expected.data(), bytes.size()));
}

// The sound closes its output from its own done callback, on the driver thread.
TEST_F(PortAudioAlsa, PlaysASoundAndLetsGoOfTheOutput) {
    ASSERT_EQ(wave_select_backend("portaudio"), WAVE_OK);
    std::vector<int16_t> digit(1280);
    for (size_t i = 0; i < digit.size(); ++i) digit[i] = mic_sample(i);
    std::string error;
    std::vector<uint8_t> image;
    ASSERT_TRUE(write_wav_file(alsa_dir() + "/digit.wav", digit, error)) << error;
    ASSERT_TRUE(read_binary_file(alsa_dir() + "/digit.wav", image, error)) << error;
    ASSERT_TRUE(play_sound_async(image.data(), image.size()));
    // Once played, the sound has closed its output: the backend may be changed, which also
    // ends its driver thread.
    int32_t selected = WAVE_ALLOCATED;
    for (int waited = 0; selected == WAVE_ALLOCATED && waited < 5000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        selected = wave_select_backend("virtual");
    }
    ASSERT_EQ(selected, WAVE_OK);
    // The thread may still be finishing when its callback dropped the last hold on the backend.
    const std::string speaker = alsa_dir() + "/speaker.raw";
    for (int waited = 0; read_file(speaker).size() < digit.size() * 2 && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string bytes = read_file(speaker);
    ASSERT_EQ(bytes.size(), digit.size() * 2);
    EXPECT_EQ(0, std::memcmp(bytes.data(), digit.data(), bytes.size()));
}

TEST_F(PortAudioAlsa, UnknownDevicesAndOptionsAreRefused) {
    struct row {
        const char* selection;
        uint32_t device;
        wave_direction direction;
        int32_t expected;
    } rows[] = {
        {"portaudio:in=nosuch", k_wave_mapper, wave_direction::input, WAVE_BAD_DEVICE_ID},
        {"portaudio:out=nosuch", k_wave_mapper, wave_direction::output, WAVE_BAD_DEVICE_ID},
        {"portaudio", 99, wave_direction::input, WAVE_BAD_DEVICE_ID},
        {"portaudio:rate=7999", k_wave_mapper, wave_direction::output, WAVE_NO_DRIVER},
        {"portaudio:speed=2", k_wave_mapper, wave_direction::input, WAVE_NO_DRIVER},
    };
    const wave_format pcm;
    for (const auto& r : rows) {
        wave_select_backend(r.selection);
        wave_handle handle = 0;
        const int32_t opened = r.direction == wave_direction::input
                                   ? wave_in_open(&handle, r.device, &pcm, nullptr, nullptr)
                                   : wave_out_open(&handle, r.device, &pcm, nullptr, nullptr);
        EXPECT_EQ(opened, r.expected) << r.selection;
    }
}

}  // namespace
}  // namespace voxline::test
