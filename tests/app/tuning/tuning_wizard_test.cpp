#include "tuning_wizard.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include "fake_mixer_line.h"
#include "kestrel/kestrel.h"
#include "platform/sound/virtual_test_interface.h"
#include "platform/sound/wav_file.h"
#include "platform/sound/wave_api.h"
#include "tuning_dialog.h"

namespace voxline::test {
namespace {

using dialdeck::tuning_wizard;

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
    dialdeck::tuning_wizard_mic_level(150);
    EXPECT_EQ(bar->value(), 100);
    dialdeck::tuning_wizard_mic_level(55);
    EXPECT_EQ(bar->value(), 55);
    if (const char* shot = std::getenv("TUNING_SCREENSHOT")) wizard.grab().save(shot, "PNG");
    // Leaving the page stops the measuring; a late level no longer reaches the bar.
    wizard.back();
    EXPECT_EQ(command("calls"), "StartMicLevel\nStopMicLevel\n");
    dialdeck::tuning_wizard_mic_level(70);
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
        dialdeck::tuning_wizard_mic_level(40);
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
