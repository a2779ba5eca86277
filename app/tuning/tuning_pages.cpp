#include "tuning_pages.h"

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

namespace dialdeck {

namespace {

constexpr int k_title_pixels = 16;

}  // namespace

tuning_page::tuning_page(const QString& title, const QString& text) {
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* heading = new QLabel(title, this);
    heading->setObjectName("pageTitle");
    QFont font = heading->font();
    font.setFamilies({"MS Sans Serif", font.family()});
    font.setPixelSize(k_title_pixels);
    font.setBold(true);
    heading->setFont(font);

    m_text = new QLabel(text, this);
    m_text->setObjectName("pageText");
    m_text->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_text);
}

intro_page::intro_page()
    : tuning_page(
          "Welcome",
          "This wizard checks that your speakers and your microphone work, and helps you set "
          "their volumes before you make a call.\n\n"
          "Before you go on, close every other program that plays or records sound, and plug in "
          "your speakers (or headset) and your microphone.\n\n"
          "Hold the microphone a hand's width from your mouth and a little to one side, so that "
          "your breath does not blow into it.") {
    layout()->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

closing_page::closing_page()
    : tuning_page("Done", "You have now completed the audio tuning wizard.") {
    layout()->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

}  // namespace dialdeck
