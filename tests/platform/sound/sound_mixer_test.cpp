#include "platform/sound/sound_mixer.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <cmath>
#include <limits>

#include "platform/sound/wave_api.h"

namespace voxline::test {
namespace {

bool readable(sound_mixer& mixer) {
    std::vector<pollfd> fds = mixer.poll_descriptors();
    return !fds.empty() && poll(fds.data(), fds.size(), 0) > 0;
}

TEST(VirtualMixer, LevelsAreSharedClampedAndNoticed) {
    ASSERT_EQ(wave_select_backend("virtual"), WAVE_OK);
    std::unique_ptr<sound_mixer> control = open_sound_mixer();
    std::unique_ptr<sound_mixer> wizard = open_virtual_mixer();
    ASSERT_TRUE(control->available());
    EXPECT_FALSE(readable(*wizard));
    EXPECT_FALSE(wizard->handle_events());

    struct row {
        double set;
        double read;
    } rows[] = {{0.25, 0.25}, {1.5, 1.0}, {-0.5, 0.0}};
    for (const auto& r : rows) {
        ASSERT_TRUE(control->set_speaker_level(r.set));
        ASSERT_TRUE(wizard->set_microphone_level(r.set));
        EXPECT_EQ(wizard->speaker_level(), r.read) << r.set;
        EXPECT_EQ(control->microphone_level(), r.read) << r.set;
        // Both hear of every change, their own included, once.
        for (sound_mixer* mixer : {control.get(), wizard.get()}) {
            EXPECT_TRUE(readable(*mixer)) << r.set;
            EXPECT_TRUE(mixer->handle_events()) << r.set;
            EXPECT_FALSE(readable(*mixer)) << r.set;
            EXPECT_FALSE(mixer->handle_events()) << r.set;
        }
    }
    EXPECT_FALSE(control->set_speaker_level(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(control->speaker_level(), 0.0);
}

TEST(VirtualMixer, ChannelsAreSetApartAndShared) {
    ASSERT_EQ(wave_select_backend("virtual"), WAVE_OK);
    std::unique_ptr<sound_mixer> control = open_sound_mixer();
    std::unique_ptr<sound_mixer> wizard = open_virtual_mixer();
    ASSERT_EQ(wizard->volume_range(mixer_side::microphone)->maximum, 65535);
    control->handle_events();

    ASSERT_TRUE(wizard->set_channel_volumes(mixer_side::microphone, {16384, 65535}));
    EXPECT_TRUE(control->handle_events());
    EXPECT_EQ(control->channel_volumes(mixer_side::microphone), (std::vector<long>{16384, 65535}));
    EXPECT_NEAR(*control->microphone_level(), (16384 + 65535) / 2.0 / 65535, 1e-9);
    // Out of range clamps; a count that is not the line's is refused.
    ASSERT_TRUE(wizard->set_channel_volumes(mixer_side::speaker, {-5, 70000}));
    EXPECT_EQ(control->channel_volumes(mixer_side::speaker), (std::vector<long>{0, 65535}));
    EXPECT_FALSE(wizard->set_channel_volumes(mixer_side::speaker, {100}));
    ASSERT_TRUE(control->set_speaker_level(0.5));
    EXPECT_EQ(wizard->channel_volumes(mixer_side::speaker), (std::vector<long>{32768, 32768}));
    EXPECT_EQ(wizard->channel_volumes(mixer_side::microphone), (std::vector<long>{16384, 65535}));
}

}  // namespace
}  // namespace voxline::test
