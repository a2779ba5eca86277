#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "mixer_fader.h"
#include "tuning_pages.h"

namespace dialdeck {

namespace {

constexpr char k_test_caption[] = "Click to Test Speakers";
constexpr char k_stop_caption[] = "Stop";

}  // namespace

speaker_page::speaker_page(std::string sound_file, const mixer_line_opener& mixer)
    : tuning_page("Speakers",
                  "Click the button below to play a test sound, and move the Speaker Volume "
                  "slider until the sound is clear and comfortable. Click Stop when you are "
                  "done."),
      m_sound_file(std::move(sound_file)) {
    setObjectName("speakerPage");
    m_test = new QPushButton(k_test_caption, this);
    m_test->setObjectName("testSpeakers");
    connect(m_test, &QPushButton::clicked, this, &speaker_page::toggle_sound);
    m_status = new QLabel(this);
    m_status->setObjectName("speakerStatus");
    m_status->setWordWrap(true);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName("speakerVolume");
    m_fader = new CMixerFader(m_volume, this);
    m_fader->Init(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, k_destination_itself,
                  MIXERCONTROL_CONTROLTYPE_VOLUME, FADER_BOTH, mixer);

    auto* box = static_cast<QVBoxLayout*>(layout());
    box->addWidget(m_test, 0, Qt::AlignLeft);
    box->addWidget(m_status);
    box->addSpacing(12);
    box->addWidget(new QLabel("Speaker Volume", this));
    box->addWidget(m_volume);
    box->addStretch();
}

void speaker_page::toggle_sound() {
    if (m_sound.playing()) {
        stop_sound();
        return;
    }
    std::string error;
    if (!m_sound.start(m_sound_file, error)) {
        m_status->setText(
            QString("The test sound cannot be played: %1").arg(QString::fromStdString(error)));
        return;
    }
    m_status->clear();
    m_test->setText(k_stop_caption);
}

void speaker_page::stop_sound() {
    m_sound.stop();
    m_test->setText(k_test_caption);
}

}  // namespace dialdeck
