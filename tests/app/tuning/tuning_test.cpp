// The tuning wizard: faders over a fake mixer and the virtual card, the pages
// on the virtual card.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <memory>
#include <vector>

#include "kestrel/kestrel.h"
#include "mixer_fader.h"
#include "mixer_line.h"
#include "platform/sound/sound_mixer.h"
#include "platform/sound/virtual_test_interface.h"
#include "platform/sound/wav_file.h"
#include "platform/sound/wave_api.h"
#include "tuning_dialog.h"
#include "tuning_wizard.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

// A mixer line in memory; changes from elsewhere are the virtual card's to test.
struct fake_mixer_state {
    long maximum = 100, steps = 100;
    std::vector<long> values{40, 80};
};

struct fake_mixer_line final : mixer_line {
    explicit fake_mixer_line(std::shared_ptr<fake_mixer_state> s) : state(std::move(s)) {}
    long minimum() const override { return 0; }
    long maximum() const override { return state->maximum; }
    long steps() const override { return state->steps; }
    std::vector<long> values() override { return state->values; }
    bool set_values(const std::vector<long>& values) override {
        state->values = values;
        return true;
    }
    std::vector<int> notice_descriptors() override { return {}; }
    void take_notices() override {}
    std::shared_ptr<fake_mixer_state> state;
};

mixer_line_opener fake_opener(std::shared_ptr<fake_mixer_state> state) {
    return
        [state](mixer_line_kind, std::string&) { return std::make_unique<fake_mixer_line>(state); };
}

mixer_line_opener no_mixer() {
    return [](mixer_line_kind, std::string& error) {
        error = "No mixer device";
        return std::unique_ptr<mixer_line>();
    };
}

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

TEST(WizardLevel, TheBarShowsTheMicrophoneLevelWhileThePageShows) {
    IActiveXPhone* control = nullptr;  // the window tests' control, recording its calls
    ASSERT_EQ(KestrelCreateInstance(KESTREL_CLASS_DUAL, &control), KESTREL_S_OK);
    const std::unique_ptr<IActiveXPhone, void (*)(IActiveXPhone*)> owner(
        control, [](IActiveXPhone* c) { c->Release(); });
    const auto command = [&](const char* name, const std::string& parameter = "") {
        char* out = nullptr;
        control->ExecuteCommand(name, parameter.c_str(), "", &out);
        std::string text = out ? out : "";
        std::free(out);
        return text;
    };
    tuning_wizard wizard(nullptr, control, {no_mixer(), {}});
    wizard.show();
    EXPECT_EQ(command("calls"), "");
    wizard.next();
    auto* bar = wizard.findChild<QProgressBar*>("micLevel");
    auto* status = wizard.findChild<QLabel*>("micStatus");
    EXPECT_EQ(command("calls"), "StartMicLevel\n");
    EXPECT_EQ(status->text(), "");
    tuning_wizard_mic_level(150);
    EXPECT_EQ(bar->value(), 100);
    tuning_wizard_mic_level(55);
    EXPECT_EQ(bar->value(), 55);
    if (const char* shot = std::getenv("TUNING_SCREENSHOT")) wizard.grab().save(shot, "PNG");
    // Leaving the page stops the measuring; a late level no longer reaches the bar.
    wizard.back();
    EXPECT_EQ(command("calls"), "StartMicLevel\nStopMicLevel\n");
    tuning_wizard_mic_level(70);
    EXPECT_EQ(bar->value(), 55);

    // Coming back measures afresh, or says why it cannot (and stops nothing).
    const std::pair<int32_t, const char*> refusals[] = {
        {static_cast<int32_t>(0x80040202), "No microphone was found."},
        {static_cast<int32_t>(0x80040205), "Another program is using the microphone."},
        {KESTREL_E_FAIL, "until the phone has started its sound engine"},
        {static_cast<int32_t>(0x80070005), "(error 0x80070005)"}};
    for (const auto& [answer, text] : refusals) {
        command("mic-answer", std::to_string(answer));
        wizard.next();
        EXPECT_NE(status->text().indexOf(text), -1) << status->text().toStdString();
        EXPECT_EQ(bar->value(), 0);
        tuning_wizard_mic_level(40);
        EXPECT_EQ(bar->value(), 0);
        wizard.back();
    }
    EXPECT_EQ(command("calls"),
              "StartMicLevel\nStopMicLevel\nStartMicLevel\nStartMicLevel\nStartMicLevel\n"
              "StartMicLevel\n");
}

// Without a mixer or a control, on the virtual card: the speaker hears the
// file over and over until the second press or until the page is left.
TEST(TuningWizard, TheSpeakerTestRepeatsTheFileUntilStopped) {
    ASSERT_EQ(wave_select_backend("virtual:speaker=discard"), WAVE_OK);
    ASSERT_TRUE(virtual_card_test::use_manual_clock());
    std::vector<int16_t> sound;
    std::string error;
    ASSERT_TRUE(read_wav_file(DIALDECK_TEST_WAV, sound, error)) << error;
    tuning_wizard wizard(nullptr, nullptr, {no_mixer(), DIALDECK_TEST_WAV});
    const auto play = [](size_t ticks) {  // what the speaker plays in `ticks` 10 ms ticks
        EXPECT_TRUE(virtual_card_test::run_ticks(static_cast<int>(ticks)));
        std::vector<int16_t> played(80 * ticks + 80);
        played.resize(virtual_card_test::take_speaker(played.data(), played.size()));
        return played;
    };
    auto* button = wizard.findChild<QPushButton*>("testSpeakers");
    EXPECT_EQ(wizard.windowTitle(), "Audio Tuning Wizard");
    for (const char* name : {"micVolume", "speakerVolume"})
        EXPECT_FALSE(wizard.findChild<QSlider*>(name)->isEnabled()) << name;
    const std::function<void()> stops[] = {[&] { button->click(); }, [&] { wizard.back(); },
                                           [&] { wizard.next(); }, [&] { wizard.reject(); }};
    for (const auto& stop : stops) {
        wizard.show();
        wizard.restart();
        wizard.next();
        EXPECT_NE(wizard.findChild<QLabel*>("micStatus")->text(), "");  // why no level
        wizard.next();
        ASSERT_EQ(wizard.currentId(), tuning_wizard::speakers);
        ASSERT_EQ(button->text(), "Click to Test Speakers");
        button->click();
        EXPECT_EQ(button->text(), "Stop");
        const std::vector<int16_t> played =
            play(2 * sound.size() / 80 + 30);  // two passes and a bit
        ASSERT_GT(played.size(), 2 * sound.size());
        for (size_t i = 0; i < played.size(); ++i)
            ASSERT_EQ(played[i], sound[i % sound.size()]) << "sample " << i;
        stop();
        // The output closed: the speaker plays nothing more.
        EXPECT_TRUE(play(10).empty());
        EXPECT_EQ(button->text(), "Click to Test Speakers");
    }
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    wizard.show();
    wizard.restart();
    const auto usable = [&](QWizard::WizardButton which) {
        return wizard.button(which)->isVisible() && wizard.button(which)->isEnabled();
    };
    for (int step = 0; step < 4; ++step) {  // Back from the second page, Finish on the last
        EXPECT_EQ(usable(QWizard::BackButton), step > 0) << step;
        EXPECT_EQ(usable(QWizard::NextButton), step < 3) << step;
        EXPECT_EQ(usable(QWizard::FinishButton), step == 3) << step;
        if (step < 3) wizard.next();
    }
    EXPECT_EQ(wizard.button(QWizard::BackButton)->text() +
                  wizard.button(QWizard::NextButton)->text() +
                  wizard.button(QWizard::FinishButton)->text(),
              "< &Back&Next >Finish");
    const QString last_page = wizard.currentPage()->findChild<QLabel*>("pageText")->text();
    EXPECT_TRUE(last_page.contains("You have now completed the audio tuning wizard."));
    wizard.button(QWizard::FinishButton)->click();
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_EQ(wave_select_backend("virtual"), WAVE_OK);
}

}  // namespace
}  // namespace voxline::test
