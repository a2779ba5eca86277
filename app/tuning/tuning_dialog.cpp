#include "tuning_dialog.h"

#include <QCoreApplication>

#include "tuning_pages.h"
#include "tuning_wizard.h"

namespace dialdeck {

namespace {

std::string default_test_sound() {
    return (QCoreApplication::applicationDirPath() + "/test.wav").toStdString();
}

}  // namespace

tuning_wizard::tuning_wizard(QWidget* parent, IActiveXPhone* control,
                             tuning_environment environment)
    : QWizard(parent) {
    setObjectName("tuningWizard");
    setWindowTitle("Audio Tuning Wizard");
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, false);
    setButtonText(QWizard::BackButton, "< &Back");
    setButtonText(QWizard::NextButton, "&Next >");
    setButtonText(QWizard::FinishButton, "Finish");
    setButtonText(QWizard::CancelButton, "Cancel");

    m_microphone = new microphone_page(control, environment.mixer);
    m_speakers = new speaker_page(
        environment.test_sound.empty() ? default_test_sound() : environment.test_sound,
        environment.mixer);
    setPage(intro, new intro_page);
    setPage(microphone, m_microphone);
    setPage(speakers, m_speakers);
    setPage(closing, new closing_page);
    setStartId(intro);
    connect(this, &QWizard::currentIdChanged, this, &tuning_wizard::page_changed);
}

tuning_wizard::~tuning_wizard() {
    m_microphone->stop_level();
    m_speakers->stop_sound();
}

void tuning_wizard::page_changed(int id) {
    if (id != speakers) m_speakers->stop_sound();
    if (id == microphone)
        m_microphone->start_level();
    else
        m_microphone->stop_level();
}

void tuning_wizard::done(int result) {
    m_microphone->stop_level();
    m_speakers->stop_sound();
    QWizard::done(result);
}

tuning_outcome run_tuning_wizard(QWidget* parent, IActiveXPhone* control) {
    tuning_wizard wizard(parent, control);
    return wizard.exec() == QDialog::Accepted ? tuning_outcome::finished
                                              : tuning_outcome::cancelled;
}

}  // namespace dialdeck
