// The microphone page: the control's engine measures the microphone while
// the page shows; its levels reach the bar through the main window's sink.
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "kestrel/kestrel.h"
#include "mixer_fader.h"
#include "tuning_pages.h"
#include "tuning_wizard.h"

namespace dialdeck {

namespace {

constexpr int32_t k_no_device = static_cast<int32_t>(0x80040202);
constexpr int32_t k_device_in_use = static_cast<int32_t>(0x80040205);

// The page measuring now, if any (GUI thread only).
microphone_page* g_measuring = nullptr;

QString failure_text(int32_t result) {
    switch (result) {
        case k_no_device:
            return "No microphone was found. Plug one in, then come back to this page.";
        case k_device_in_use:
            return "Another program is using the microphone. Close it, then come back to this "
                   "page.";
        case KESTREL_E_FAIL:
        case KESTREL_E_NOTIMPL:
            return "The level cannot be shown until the phone has started its sound engine.";
        default:
            return QString("The microphone could not be opened (error 0x%1).")
                .arg(static_cast<uint32_t>(result), 8, 16, QChar('0'));
    }
}

}  // namespace

void tuning_wizard_mic_level(int32_t level) {
    if (g_measuring) g_measuring->show_level(level);
}

microphone_page::microphone_page(IActiveXPhone* control, const mixer_line_opener& mixer)
    : tuning_page("Microphone",
                  "Read this sentence aloud in your normal voice:\n\n"
                  "    \"I am setting up my microphone to talk on the phone.\"\n\n"
                  "The bar should swing well into its right half while you speak, without "
                  "staying at the end. If it does not, move the Microphone Volume slider."),
      m_control(control) {
    setObjectName("microphonePage");
    m_level = new QProgressBar(this);
    m_level->setObjectName("micLevel");
    m_level->setRange(0, 100);
    m_level->setValue(0);
    m_level->setTextVisible(false);
    m_status = new QLabel(this);
    m_status->setObjectName("micStatus");
    m_status->setWordWrap(true);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName("micVolume");
    m_fader = new CMixerFader(m_volume, this);
    m_fader->Init(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
                  MIXERCONTROL_CONTROLTYPE_VOLUME, FADER_BOTH, mixer);

    auto* box = static_cast<QVBoxLayout*>(layout());
    box->addWidget(m_level);
    box->addWidget(m_status);
    box->addSpacing(12);
    box->addWidget(new QLabel("Microphone Volume", this));
    box->addWidget(m_volume);
    box->addStretch();
}

microphone_page::~microphone_page() {
    stop_level();
}

void microphone_page::start_level() {
    stop_level();
    m_level->setValue(0);
    const int32_t result = m_control ? m_control->StartMicLevel() : KESTREL_E_FAIL;
    if (result < 0) {
        m_status->setText(failure_text(result));
        return;
    }
    m_status->clear();
    m_measuring = true;
    g_measuring = this;
}

void microphone_page::stop_level() {
    if (g_measuring == this) g_measuring = nullptr;
    if (!m_measuring) return;
    m_measuring = false;
    m_control->StopMicLevel();
}

void microphone_page::show_level(int level) {
    m_level->setValue(std::clamp(level, 0, 100));
}

}  // namespace dialdeck
