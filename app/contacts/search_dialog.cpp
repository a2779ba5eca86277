#include "search_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dialdeck {

search_dialog::search_dialog(QWidget* parent) : QDialog(parent), m_edit(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Search"));
    auto* label = new QLabel(QStringLiteral("Search for:"), this);
    label->setBuddy(m_edit);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* search =
        buttons->addButton(QStringLiteral("&Search Now"), QDialogButtonBox::AcceptRole);
    search->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

QString search_dialog::text() const {
    return m_edit->text();
}

}  // namespace dialdeck
