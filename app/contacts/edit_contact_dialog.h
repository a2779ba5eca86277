// The "Edit Contact" dialog: a contact's three fields.
#pragma once

#include <QDialog>

#include "contacts_file.h"

class QLineEdit;

namespace dialdeck {

class edit_contact_dialog : public QDialog {
    Q_OBJECT

  public:
    edit_contact_dialog(const contact_record& record, QWidget* parent = nullptr);

    contact_record record() const;
    QLineEdit* first_edit() const { return m_first; }
    QLineEdit* last_edit() const { return m_last; }
    QLineEdit* phone_edit() const { return m_phone; }

  private:
    QLineEdit* m_first;
    QLineEdit* m_last;
    QLineEdit* m_phone;
};

}  // namespace dialdeck
