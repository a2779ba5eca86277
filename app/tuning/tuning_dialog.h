// The wizard's frame: four pages in order, Back/Next/Finish/Cancel. Leaving a
// page stops what it started (the level, the test sound), and so do Finish
// and Cancel.
#pragma once

#include <QWizard>
#include <string>

#include "mixer_line.h"

struct IActiveXPhone;

namespace dialdeck {

class microphone_page;
class speaker_page;

struct tuning_environment {
    mixer_line_opener mixer;  // empty: the sound card's mixer
    std::string test_sound;   // empty: test.wav in the program's folder
};

class tuning_wizard final : public QWizard {
    Q_OBJECT
  public:
    enum page_id { intro = 0, microphone = 1, speakers = 2, closing = 3 };

    tuning_wizard(QWidget* parent, IActiveXPhone* control, tuning_environment environment = {});
    ~tuning_wizard() override;

    void done(int result) override;

  private:
    void page_changed(int id);

    microphone_page* m_microphone;
    speaker_page* m_speakers;
};

}  // namespace dialdeck
