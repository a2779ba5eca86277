// The four pages of the audio tuning wizard.
#pragma once

#include <QWizardPage>
#include <string>

#include "mixer_line.h"
#include "test_sound.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
struct IActiveXPhone;

namespace dialdeck {

class CMixerFader;

// A page's look: a bold title over a white page.
class tuning_page : public QWizardPage {
    Q_OBJECT
  public:
    tuning_page(const QString& title, const QString& text);

  protected:
    QLabel* m_text;
};

class intro_page final : public tuning_page {
    Q_OBJECT
  public:
    intro_page();
};

class microphone_page final : public tuning_page {
    Q_OBJECT
  public:
    microphone_page(IActiveXPhone* control, const mixer_line_opener& mixer);
    ~microphone_page() override;

    // While the page shows: the control measures and the bar follows.
    void start_level();
    void stop_level();
    void show_level(int level);

  private:
    IActiveXPhone* m_control;
    QProgressBar* m_level;
    QLabel* m_status;
    QSlider* m_volume;
    CMixerFader* m_fader;
    bool m_measuring = false;
};

class speaker_page final : public tuning_page {
    Q_OBJECT
  public:
    speaker_page(std::string sound_file, const mixer_line_opener& mixer);

    void toggle_sound();
    void stop_sound();

  private:
    std::string m_sound_file;
    test_sound m_sound;
    QPushButton* m_test;
    QLabel* m_status;
    QSlider* m_volume;
    CMixerFader* m_fader;
};

class closing_page final : public tuning_page {
    Q_OBJECT
  public:
    closing_page();
};

}  // namespace dialdeck
