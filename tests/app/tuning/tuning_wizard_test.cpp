#include "tuning_wizard.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "fake_mixer_line.h"
#include "platform/sound/virtual_test_interface.h"
#include "platform/sound/wav_file.h"
#include "platform/sound/wave_api.h"
#include "support/temp_home.h"
#include "tuning_dialog.h"

namespace voxline::test {
namespace {

using dialdeck::tuning_wizard;

QAbstractButton* button(tuning_wizard& wizard, QWizard::WizardButton which) {
    return wizard.button(which);
}

bool shown(QAbstractButton* b) {
    return b->isVisible() && b->isEnabled();
}

TEST(TuningWizard, WalksItsFourPagesAndFinishes) {
    auto state = std::make_shared<fake_mixer_state>();
    tuning_wizard wizard(nullptr, nullptr, {fake_opener(state), {}});
    wizard.show();
    EXPECT_EQ(wizard.windowTitle(), "Audio Tuning Wizard");
    EXPECT_EQ(button(wizard, QWizard::BackButton)->text(), "< &Back");
    EXPECT_EQ(button(wizard, QWizard::NextButton)->text(), "&Next >");
    EXPECT_EQ(button(wizard, QWizard::FinishButton)->text(), "Finish");
    EXPECT_EQ(button(wizard, QWizard::CancelButton)->text(), "Cancel");

    const int order[] = {tuning_wizard::intro, tuning_wizard::microphone, tuning_wizard::speakers,
                         tuning_wizard::closing};
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(wizard.currentId(), order[step]);
        EXPECT_EQ(shown(button(wizard, QWizard::BackButton)), step > 0);
        EXPECT_EQ(shown(button(wizard, QWizard::NextButton)), step < 3);
        EXPECT_EQ(shown(button(wizard, QWizard::FinishButton)), step == 3);
        if (step < 3) QTest::mouseClick(button(wizard, QWizard::NextButton), Qt::LeftButton);
    }
    EXPECT_NE(wizard.currentPage()
                  ->findChild<QLabel*>("pageText")
                  ->text()
                  .indexOf("You have now completed the audio tuning wizard."),
              -1);
    QTest::mouseClick(button(wizard, QWizard::BackButton), Qt::LeftButton);
    EXPECT_EQ(wizard.currentId(), tuning_wizard::speakers);
    QTest::mouseClick(button(wizard, QWizard::NextButton), Qt::LeftButton);
    QTest::mouseClick(button(wizard, QWizard::FinishButton), Qt::LeftButton);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_FALSE(wizard.isVisible());
}

TEST(TuningWizard, WithoutAMixerBothSlidersStayDisabled) {
    tuning_wizard wizard(nullptr, nullptr, {no_mixer(), {}});
    wizard.show();
    for (const char* name : {"micVolume", "speakerVolume"})
        EXPECT_FALSE(wizard.findChild<QSlider*>(name)->isEnabled()) << name;
    // The microphone page says why it shows no level, and the wizard goes on.
    wizard.next();
    EXPECT_NE(wizard.findChild<QLabel*>("micStatus")->text(), "");
    wizard.next();
    wizard.next();
    EXPECT_EQ(wizard.currentId(), tuning_wizard::closing);
}

// The speaker test on the virtual card: its speaker hears the file over and over.
class SpeakerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(wave_select_backend("virtual:speaker=discard"), WAVE_OK);
        ASSERT_TRUE(virtual_card_test::use_manual_clock());
        std::string error;
        ASSERT_TRUE(read_wav_file(k_test_wav, m_sound, error)) << error;
        ASSERT_GT(m_sound.size(), 800u);
        m_wizard = std::make_unique<tuning_wizard>(
            nullptr, nullptr, dialdeck::tuning_environment{no_mixer(), k_test_wav});
        m_wizard->show();
        m_wizard->next();
        m_wizard->next();
        m_button = m_wizard->findChild<QPushButton*>("testSpeakers");
        ASSERT_EQ(m_button->text(), "Click to Test Speakers");
    }
    void TearDown() override {
        m_wizard.reset();
        EXPECT_EQ(wave_select_backend("virtual"), WAVE_OK);
    }
    // What the speaker plays during `ticks` 10 ms ticks.
    std::vector<int16_t> play(int ticks) {
        EXPECT_TRUE(virtual_card_test::run_ticks(ticks));
        std::vector<int16_t> played(80 * ticks + 80);
        played.resize(virtual_card_test::take_speaker(played.data(), played.size()));
        return played;
    }
    static constexpr const char* k_test_wav = DIALDECK_TEST_WAV;
    std::vector<int16_t> m_sound;
    std::unique_ptr<tuning_wizard> m_wizard;
    QPushButton* m_button = nullptr;
};

TEST_F(SpeakerTest, PlaysTheFileRepeatedlyUntilTheSecondPress) {
    QTest::mouseClick(m_button, Qt::LeftButton);
    EXPECT_EQ(m_button->text(), "Stop");
    const size_t ticks = 2 * m_sound.size() / 80 + 30;  // two passes and a bit
    const std::vector<int16_t> played = play(static_cast<int>(ticks));
    ASSERT_GT(played.size(), 2 * m_sound.size());
    for (size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i], m_sound[i % m_sound.size()]) << "sample " << i;

    QTest::mouseClick(m_button, Qt::LeftButton);
    EXPECT_EQ(m_button->text(), "Click to Test Speakers");
    // The output closed: the speaker plays nothing more.
    EXPECT_TRUE(play(10).empty());
}

TEST_F(SpeakerTest, LeavingThePageOrCancellingStopsTheSound) {
    for (const char* how : {"back", "next", "cancel"}) {
        SCOPED_TRACE(how);
        m_wizard->show();
        m_wizard->restart();
        m_wizard->next();
        m_wizard->next();
        ASSERT_EQ(m_wizard->currentId(), tuning_wizard::speakers);
        QTest::mouseClick(m_button, Qt::LeftButton);
        ASSERT_EQ(play(5).size(), 400u);
        if (std::string(how) == "back") m_wizard->back();
        if (std::string(how) == "next") m_wizard->next();
        if (std::string(how) == "cancel") m_wizard->reject();
        EXPECT_TRUE(play(5).empty());
        EXPECT_EQ(m_button->text(), "Click to Test Speakers");
        if (std::string(how) == "cancel") {
            EXPECT_EQ(m_wizard->result(), QDialog::Rejected);
        }
    }
}

}  // namespace
}  // namespace voxline::test
