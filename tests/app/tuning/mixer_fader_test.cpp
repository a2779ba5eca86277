#include "mixer_fader.h"

#include <gtest/gtest.h>

#include <QSlider>
#include <QTest>

#include "fake_mixer_line.h"
#include "platform/sound/sound_mixer.h"
#include "platform/sound/wave_api.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

TEST(MixerFader, ShowsAndSetsTheVolumeAsTheSliderMoves) {
    const Qt::Orientation across = Qt::Horizontal, upright = Qt::Vertical;
    const struct {
        const char* name;
        Qt::Orientation orientation;
        int sub_type;
        long maximum, steps;
        std::vector<long> before;
        int shown, moved_to;  // slider values for `before` and picked by the user
        std::vector<long> after;
    } cases[] = {
        // clang-format off
        // r = 0.5: the louder channel takes the value, the other keeps half of it.
        {"balance kept, right louder", across, FADER_BOTH, 100, 100, {40, 80}, 80, 100, {50, 100}},
        {"balance kept, left louder", across, FADER_BOTH, 100, 100, {80, 40}, 80, 50, {50, 25}},
        {"one channel", across, FADER_BOTH, 100, 100, {30}, 30, 60, {60}},
        {"both silent", across, FADER_BOTH, 100, 100, {0, 0}, 0, 70, {70, 70}},
        {"left only", across, FADER_LEFT, 100, 100, {40, 80}, 40, 70, {70, 80}},
        {"right only", across, FADER_RIGHT, 100, 100, {40, 80}, 80, 20, {40, 20}},
        {"balance slider centred", across, FADER_BALANCE, 100, 100, {40, 80}, 75, 50, {80, 80}},
        // Two values per step.
        {"step size 2", across, FADER_BOTH, 200, 100, {40, 80}, 40, 100, {100, 200}},
        // Counted from the top: full volume is position 0.
        {"vertical", upright, FADER_BOTH, 100, 100, {40, 80}, 20, 0, {50, 100}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto state = std::make_shared<fake_mixer_state>(c.maximum, c.steps, c.before);
        QSlider slider(c.orientation);
        CMixerFader fader(&slider);
        ASSERT_TRUE(fader.Init(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, k_destination_itself,
                               MIXERCONTROL_CONTROLTYPE_VOLUME, c.sub_type, fake_opener(state)));
        EXPECT_EQ(std::tuple(slider.isEnabled(), slider.maximum(), slider.value()),
                  std::tuple(true, c.steps, c.shown));
        EXPECT_EQ(state->values, c.before);  // showing writes nothing
        slider.setValue(c.moved_to);
        EXPECT_EQ(state->values, c.after);
    }
}

TEST(MixerFader, StaysDisabledWhenTheControlCannotBeBound) {
    auto stereo = std::make_shared<fake_mixer_state>();
    auto mono = std::make_shared<fake_mixer_state>(100, 100, std::vector<long>{50});
    const uint32_t spk = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, self = k_destination_itself,
                   vol = MIXERCONTROL_CONTROLTYPE_VOLUME;
    // destination, source, control, sub-type, mixer
    const std::tuple<uint32_t, uint32_t, uint32_t, int, mixer_line_opener> refusals[] = {
        {spk, self, vol, FADER_BOTH, no_mixer()},
        {5, self, vol, FADER_BOTH, fake_opener(stereo)},           // unknown destination
        {spk, 0x1004, vol, FADER_BOTH, fake_opener(stereo)},       // unknown source
        {spk, self, 0x20010002, FADER_BOTH, fake_opener(stereo)},  // not a volume
        {spk, self, vol, FADER_LEFT, fake_opener(mono)},           // sides of a mono line
        {spk, self, vol, FADER_BALANCE, fake_opener(mono)}};
    for (const auto& [destination, source, control, sub_type, opener] : refusals) {
        QSlider slider(Qt::Horizontal);
        CMixerFader fader(&slider);
        EXPECT_FALSE(fader.Init(destination, source, control, sub_type, opener)) << destination;
        EXPECT_FALSE(slider.isEnabled());
        slider.setValue(10);
    }
    EXPECT_EQ(stereo->values, (std::vector<long>{40, 80}));
    EXPECT_EQ(mono->values, std::vector<long>{50});
}

TEST(MixerFader, OnTheVirtualCardTheMicrophoneSliderMovesTheRecordingVolume) {
    ASSERT_EQ(wave_select_backend("virtual"), WAVE_OK);
    std::unique_ptr<sound_mixer> card = open_virtual_mixer();
    ASSERT_TRUE(card->set_channel_volumes(mixer_side::microphone, {16384, 32768}));
    ASSERT_TRUE(card->set_channel_volumes(mixer_side::speaker, {65535, 65535}));
    QSlider microphone(Qt::Horizontal);
    CMixerFader fader(&microphone);
    ASSERT_TRUE(fader.Init(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
                           MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, MIXERCONTROL_CONTROLTYPE_VOLUME,
                           FADER_BOTH));
    // 0..65535 in 100 positions; the louder channel is at half.
    EXPECT_EQ(std::pair(microphone.maximum(), microphone.value()), std::pair(100, 50));
    microphone.setValue(100);
    EXPECT_EQ(card->channel_volumes(mixer_side::microphone), (std::vector<long>{32768, 65535}));
    EXPECT_EQ(card->channel_volumes(mixer_side::speaker), (std::vector<long>{65535, 65535}));
    // The phone's own slider (or another program) turns the microphone down.
    ASSERT_TRUE(card->set_microphone_level(0.2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return microphone.value() == 20; })) << microphone.value();
    // Its balance (both channels alike) is the one kept from now on.
    microphone.setValue(60);
    EXPECT_EQ(card->channel_volumes(mixer_side::microphone), (std::vector<long>{39321, 39321}));
}

}  // namespace
}  // namespace voxline::test
