#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alsa/test_alsa_system.h"
#include "platform/sound/sound_mixer.h"
#include "platform/sound/wave_api.h"

namespace voxline::test {
namespace {

std::vector<std::string> g_lines;
void keep_line(int, const char* line) {
    g_lines.push_back(line);
}

// The test system has no card and no control device, whatever the machine has: no mixer, as
// where there is none at all.
TEST(AlsaMixer, WithoutACardThereIsNoMixerAndNoNoise) {
    stderr_capture noise;
    noise.start();
    wave_set_log_sink(keep_line);
    unsetenv("VOXLINE_AUDIO");
    ASSERT_EQ(wave_select_backend("portaudio"), WAVE_OK);
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
    ASSERT_EQ(g_lines.size(), 2u);
    for (const std::string& line : g_lines)
        EXPECT_TRUE(line.starts_with("mixerGetDevCaps returned 0x") ||
                    line.starts_with("mixerOpen returned 0x"))
            << line;
    EXPECT_EQ(noise.stop(), "");
}

}  // namespace
}  // namespace voxline::test
