#include "edit_contact_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace dialdeck {

edit_contact_dialog::edit_contact_dialog(const contact_record& record, QWidget* parent)
    : QDialog(parent),
      m_first(new QLineEdit(QString::fromStdString(record.first), this)),
      m_last(new QLineEdit(QString::fromStdString(record.last), this)),
      m_phone(new QLineEdit(QString::fromStdString(record.phone), this)) {
    setWindowTitle(QStringLiteral("Edit Contact"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("First Name"), m_first);
    form->addRow(QStringLiteral("Last Name"), m_last);
    form->addRow(QStringLiteral("Phone Number"), m_phone);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

contact_record edit_contact_dialog::record() const {
    return {m_first->text().trimmed().toStdString(), m_last->text().trimmed().toStdString(),
            m_phone->text().trimmed().toStdString()};
}

}  // namespace dialdeck
