#include "network/adapter_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel {

adapter_dialog::~adapter_dialog() {
    if (m_dialog) {
        m_dialog->disconnect();
        delete m_dialog;
    }
}

void adapter_dialog::ask(const adapter_prompt_texts& texts, const std::vector<std::string>& labels,
                         std::function<void(int)> done) {
    if (m_dialog) {  // a newer question replaces an unanswered one
        m_dialog->disconnect();
        m_dialog->deleteLater();
    }
    auto* dialog = new QDialog(m_parent);
    dialog->setObjectName("adapterDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle(QString::fromStdString(texts.title));
    if (!texts.font.empty()) {
        QFont font = dialog->font();
        font.setFamily(QString::fromStdString(texts.font));
        dialog->setFont(font);
    }
    auto* layout = new QVBoxLayout(dialog);
    auto* prompt = new QLabel(QString::fromStdString(texts.prompt), dialog);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
    auto* choices = new QComboBox(dialog);
    choices->setObjectName("adapters");
    for (const auto& label : labels) choices->addItem(QString::fromStdString(label));
    choices->setCurrentIndex(labels.empty() ? -1 : 0);
    layout->addWidget(choices);
    auto* ok = new QPushButton(QString::fromStdString(texts.button), dialog);
    ok->setDefault(true);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [choices, done = std::move(done)](int result) {
                         done(result == QDialog::Accepted ? choices->currentIndex() : -1);
                     });
    m_dialog = dialog;
    dialog->open();
}

}  // namespace kestrel
