#include "tuning_wizard.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "fake_mixer_line.h"
#include "kestrel/kestrel.h"
#include "platform/sound/virtual_test_interface.h"
#include "platform/sound/wav_file.h"
#include "platform/sound/wave_api.h"
#include "tuning_dialog.h"

namespace voxline::test {
namespace {

using dialdeck::tuning_wizard;

TEST(TuningWizard, WalksItsFourPagesWithoutAMixerAndFinishes) {
    tuning_wizard wizard(nullptr, nullptr, {no_mixer(), {}});
    wizard.show();
    EXPECT_EQ(wizard.windowTitle(), "Audio Tuning Wizard");
    const auto button = [&](QWizard::WizardButton which) { return wizard.button(which); };
    EXPECT_EQ(button(QWizard::BackButton)->text(), "< &Back");
    EXPECT_EQ(button(QWizard::NextButton)->text(), "&Next >");
    EXPECT_EQ(button(QWizard::FinishButton)->text(), "Finish");
    for (const char* name : {"micVolume", "speakerVolume"})
        EXPECT_FALSE(wizard.findChild<QSlider*>(name)->isEnabled()) << name;
    const auto usable = [&](QWizard::WizardButton which) {
        return button(which)->isVisible() && button(which)->isEnabled();
    };
    const int order[] = {tuning_wizard::intro, tuning_wizard::microphone, tuning_wizard::speakers,
                         tuning_wizard::closing};
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(wizard.currentId(), order[step]);
        EXPECT_EQ(usable(QWizard::BackButton), step > 0);
        EXPECT_EQ(usable(QWizard::NextButton), step < 3);
        EXPECT_EQ(usable(QWizard::FinishButton), step == 3);
        // Without a control the microphone page says why it shows no level.
        if (step == 1) {
            EXPECT_NE(wizard.findChild<QLabel*>("micStatus")->text(), "");
        }
        if (step < 3) QTest::mouseClick(button(QWizard::NextButton), Qt::LeftButton);
    }
    EXPECT_NE(wizard.currentPage()
                  ->findChild<QLabel*>("pageText")
                  ->text()
                  .indexOf("You have now completed the audio tuning wizard."),
              -1);
    QTest::mouseClick(button(QWizard::BackButton), Qt::LeftButton);
    EXPECT_EQ(wizard.currentId(), tuning_wizard::speakers);
    QTest::mouseClick(button(QWizard::NextButton), Qt::LeftButton);
    QTest::mouseClick(button(QWizard::FinishButton), Qt::LeftButton);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_FALSE(wizard.isVisible());
}

// A control that only measures the microphone, answering StartMicLevel as told.
struct mic_control final : IActiveXPhone {
    int32_t start_answer = KESTREL_S_OK;
    int starts = 0, stops = 0;
    int32_t StartMicLevel() override {
        ++starts;
        return start_answer;
    }
    int32_t StopMicLevel() override {
        ++stops;
        return KESTREL_S_OK;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    int32_t PutProperty(int32_t, const char*) override { return KESTREL_E_NOTIMPL; }
    int32_t GetProperty(int32_t, char**) override { return KESTREL_E_NOTIMPL; }
    int32_t CallNumber(const char*) override { return KESTREL_E_NOTIMPL; }
    int32_t Hangup() override { return KESTREL_E_NOTIMPL; }
    int32_t ExecuteCommand(const char*, const char*, const char*, char**) override {
        return KESTREL_E_NOTIMPL;
    }
    int32_t SetParameter(const char*, const char*) override { return KESTREL_E_NOTIMPL; }
    int32_t GetParameter(const char*, char**) override { return KESTREL_E_NOTIMPL; }
    int32_t GetLastTenDialed(char**) override { return KESTREL_E_NOTIMPL; }
    int32_t DialNumber(const char*) override { return KESTREL_E_NOTIMPL; }
    int32_t UpdateCallManager() override { return KESTREL_E_NOTIMPL; }
    int32_t Advise(IActiveXPhoneEvents*) override { return KESTREL_E_NOTIMPL; }
    int32_t Unadvise() override { return KESTREL_E_NOTIMPL; }
    int32_t LoadPropertyBag(const char*) override { return KESTREL_E_NOTIMPL; }
    int32_t SavePropertyBag(char**) override { return KESTREL_E_NOTIMPL; }
    int32_t IsDirty() override { return KESTREL_E_NOTIMPL; }
    QWidget* Widget() override { return nullptr; }
    int32_t GetDiagnosticState(char**) override { return KESTREL_E_NOTIMPL; }
};

TEST(WizardLevel, TheBarShowsTheMicrophoneLevelWhileThePageShows) {
    mic_control control;
    tuning_wizard wizard(nullptr, &control, {no_mixer(), {}});
    wizard.show();
    EXPECT_EQ(control.starts, 0);
    wizard.next();
    auto* bar = wizard.findChild<QProgressBar*>("micLevel");
    auto* status = wizard.findChild<QLabel*>("micStatus");
    EXPECT_EQ(control.starts, 1);
    EXPECT_EQ(status->text(), "");
    dialdeck::tuning_wizard_mic_level(150);
    EXPECT_EQ(bar->value(), 100);
    dialdeck::tuning_wizard_mic_level(55);
    EXPECT_EQ(bar->value(), 55);
    if (const char* shot = std::getenv("TUNING_SCREENSHOT")) wizard.grab().save(shot, "PNG");
    // Leaving the page stops the measuring; a late level no longer reaches the bar.
    wizard.back();
    EXPECT_EQ(control.stops, 1);
    dialdeck::tuning_wizard_mic_level(70);
    EXPECT_EQ(bar->value(), 55);

    // Coming back measures afresh, or says why it cannot.
    const std::pair<int32_t, const char*> refusals[] = {
        {static_cast<int32_t>(0x80040202), "No microphone was found."},
        {static_cast<int32_t>(0x80040205), "Another program is using the microphone."},
        {KESTREL_E_FAIL, "until the phone has started its sound engine"},
        {static_cast<int32_t>(0x80070005), "(error 0x80070005)"}};
    for (const auto& [answer, text] : refusals) {
        control.start_answer = answer;
        wizard.next();
        EXPECT_NE(status->text().indexOf(text), -1) << status->text().toStdString();
        EXPECT_EQ(bar->value(), 0);
        dialdeck::tuning_wizard_mic_level(40);
        EXPECT_EQ(bar->value(), 0);
        wizard.back();
    }
    EXPECT_EQ(control.starts, 5);
    EXPECT_EQ(control.stops, 1);
}

// The speaker test on the virtual card: its speaker hears the file over and
// over until the second press or until the page is left.
TEST(TuningWizard, TheSpeakerTestRepeatsTheFileUntilStopped) {
    ASSERT_EQ(wave_select_backend("virtual:speaker=discard"), WAVE_OK);
    ASSERT_TRUE(virtual_card_test::use_manual_clock());
    std::vector<int16_t> sound;
    std::string error;
    ASSERT_TRUE(read_wav_file(DIALDECK_TEST_WAV, sound, error)) << error;
    ASSERT_GT(sound.size(), 800u);
    tuning_wizard wizard(nullptr, nullptr, {no_mixer(), DIALDECK_TEST_WAV});
    const auto play = [](int ticks) {  // what the speaker plays in `ticks` 10 ms ticks
        EXPECT_TRUE(virtual_card_test::run_ticks(ticks));
        std::vector<int16_t> played(80 * ticks + 80);
        played.resize(virtual_card_test::take_speaker(played.data(), played.size()));
        return played;
    };
    auto* button = wizard.findChild<QPushButton*>("testSpeakers");
    for (const char* how : {"press", "back", "next", "cancel"}) {
        SCOPED_TRACE(how);
        wizard.show();
        wizard.restart();
        wizard.next();
        wizard.next();
        ASSERT_EQ(button->text(), "Click to Test Speakers");
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(button->text(), "Stop");
        const std::string way = how;
        if (way == "press") {
            const int ticks = static_cast<int>(2 * sound.size() / 80 + 30);  // two passes and a bit
            const std::vector<int16_t> played = play(ticks);
            ASSERT_GT(played.size(), 2 * sound.size());
            for (size_t i = 0; i < played.size(); ++i)
                ASSERT_EQ(played[i], sound[i % sound.size()]) << "sample " << i;
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            ASSERT_EQ(play(5).size(), 400u);
        }
        if (way == "back") wizard.back();
        if (way == "next") wizard.next();
        if (way == "cancel") wizard.reject();
        // The output closed: the speaker plays nothing more.
        EXPECT_TRUE(play(10).empty());
        EXPECT_EQ(button->text(), "Click to Test Speakers");
    }
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    EXPECT_EQ(wave_select_backend("virtual"), WAVE_OK);
}

}  // namespace
}  // namespace voxline::test
