#include "state/audio_in_use_dialog.h"

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel {

QDialog* open_audio_in_use_dialog(QWidget* parent, const std::string& title,
                                  const std::string& text, const std::string& button,
                                  const std::string& font) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName("audio_in_use");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QString::fromStdString(title));
    if (parent != nullptr) {
        dialog->setFont(parent->font());
    }
    if (!font.empty()) {
        QFont face = dialog->font();
        face.setFamily(QString::fromStdString(font));
        dialog->setFont(face);
    }
    auto* label = new QLabel(QString::fromStdString(text), dialog);
    label->setWordWrap(true);
    auto* ok = new QPushButton(QString::fromStdString(button), dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(label);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    dialog->open();
    return dialog;
}

}  // namespace kestrel
