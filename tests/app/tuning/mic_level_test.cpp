// The microphone page through the real control and engine: the engine's
// virtual microphone plays a file and the bar shows its level.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <cstdlib>

#include "events_until.h"
#include "kestrel/kestrel.h"
#include "platform/sound/wav_file.h"
#include "support/temp_home.h"
#include "tuning_dialog.h"
#include "tuning_wizard.h"

namespace voxline::test {
namespace {

using dialdeck::tuning_wizard;

// The main window's part: MicLevel events go on to the wizard.
class level_sink final : public IActiveXPhoneEvents {
  public:
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    int32_t GetCurrentLoadPercentagesOfCallManagers(const char*, char**) override {
        return KESTREL_E_FAIL;
    }
    int32_t GetCallerIDNameFromNumber(const char*, char** name) override {
        *name = nullptr;
        return KESTREL_E_FAIL;
    }
    int32_t ChangeQuillonState(int32_t, const char*, const char*) override { return 0; }
    int32_t WriteJavaConsoleMessage(int32_t, const char*, const char*) override { return 0; }
    int32_t OnRequestEdit(int32_t) override { return 0; }
    int32_t OnChanged(int32_t) override { return 0; }
    int32_t ExecuteJavaScriptCommand(const char*, char** result) override {
        *result = nullptr;
        return KESTREL_E_FAIL;
    }
    int32_t MicLevel(int32_t level) override {
        levels.push_back(level);
        dialdeck::tuning_wizard_mic_level(level);
        return KESTREL_S_OK;
    }
    std::vector<int32_t> levels;
};

// The engine picks its sound device once per process: each case here runs in
// its own (as ctest runs them).
class WizardLevel : public ::testing::Test {
  protected:
    void start_control(const std::string& audio) {
        static bool engine_started = false;
        if (engine_started) GTEST_SKIP() << "needs a process of its own";
        engine_started = true;
        setenv("VOXLINE_AUDIO", audio.c_str(), 1);
        setenv("KESTREL_LOCAL_IP", "127.0.94.2", 1);
        setenv("KESTREL_MIXER", "none", 1);
        ASSERT_EQ(KestrelCreateInstance(KESTREL_CLASS_DUAL, &m_control), KESTREL_S_OK);
        m_control->Advise(&m_sink);
        // A call manager nobody answers: the engine is configured all the same.
        const std::pair<const char*, const char*> settings[] = {
            {"ParametersToExpect", "0"}, {"CallManager", "127.0.94.1"}, {"Port", "2727"},
            {"MGCPPort", "2427"},        {"SampleSize", "2"},           {"IPPhoneNumber", "2001"}};
        for (const auto& [name, value] : settings) m_control->SetParameter(name, value);
        m_control->Widget()->show();
        // Until the control has configured its engine there is nothing to measure.
        ASSERT_TRUE(
            events_until([&] { return m_control->StartMicLevel() != KESTREL_E_FAIL; }, 10000));
        m_control->StopMicLevel();
    }
    void TearDown() override {
        m_wizard.reset();
        if (m_control) {
            m_control->Unadvise();
            m_control->Release();
        }
    }
    void open_microphone_page() {
        // The sliders on the virtual card's mixer, as the program has them.
        m_wizard = std::make_unique<tuning_wizard>(nullptr, m_control);
        m_wizard->show();
        m_wizard->next();
        ASSERT_EQ(m_wizard->currentId(), tuning_wizard::microphone);
    }

    level_sink m_sink;
    IActiveXPhone* m_control = nullptr;
    std::unique_ptr<tuning_wizard> m_wizard;
};

TEST_F(WizardLevel, TheBarShowsTheVirtualMicrophonesLevel) {
    // A square wave of 10000 has a mean amplitude of 10000: level 55.
    const std::string file = process_temp_home() + "/square.wav";
    std::vector<int16_t> square(8000 * 20);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 4) % 2 ? 10000 : -10000;
    std::string error;
    ASSERT_TRUE(write_wav_file(file, square, error)) << error;
    start_control("virtual:mic=" + file);
    if (IsSkipped() || HasFatalFailure()) return;

    open_microphone_page();
    auto* bar = m_wizard->findChild<QProgressBar*>("micLevel");
    ASSERT_TRUE(events_until([&] { return bar->value() == 55; }, 10000)) << bar->value();
    EXPECT_EQ(m_wizard->findChild<QLabel*>("micStatus")->text(), "");
    if (const char* shot = std::getenv("TUNING_SCREENSHOT")) m_wizard->grab().save(shot, "PNG");
    // Leaving the page stopped the measuring (it starts afresh), and a late
    // level no longer reaches the bar.
    m_wizard->back();
    dialdeck::tuning_wizard_mic_level(70);
    EXPECT_EQ(bar->value(), 55);
    EXPECT_EQ(m_control->StartMicLevel(), KESTREL_S_OK);
    EXPECT_EQ(m_control->StopMicLevel(), KESTREL_S_OK);
}

TEST_F(WizardLevel, WithoutAMicrophoneThePageSaysSo) {
    start_control("virtual:mic=" + process_temp_home() + "/no-such-microphone.wav");
    if (IsSkipped() || HasFatalFailure()) return;
    open_microphone_page();
    EXPECT_NE(m_wizard->findChild<QLabel*>("micStatus")->text().indexOf("No microphone"), -1);
    EXPECT_EQ(m_wizard->findChild<QProgressBar*>("micLevel")->value(), 0);
    EXPECT_TRUE(m_sink.levels.empty());
}

}  // namespace
}  // namespace voxline::test
