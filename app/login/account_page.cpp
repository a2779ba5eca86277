#include "account_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>

#include "account_record.h"

namespace dialdeck {

AccountPage::AccountPage(app_settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
    setObjectName("Account");
    auto* form = new QFormLayout(this);
    m_edits = add_account_edits(form, settings);
    m_message = new QLabel(this);
    m_message->setObjectName("message");
    form->addRow(m_message);
}

QString AccountPage::message() const {
    return m_message->text();
}

bool AccountPage::apply() {
    if (m_edits.remember->isChecked() &&
        (!is_record_safe(m_edits.account_text()) || !is_record_safe(m_edits.pin_text()))) {
        m_message->setText(k_message_invalid);
        return false;
    }
    if (!save_remembered(m_settings, m_edits)) {
        m_message->setText(k_message_not_saved);
        return false;
    }
    m_message->clear();
    return true;
}

}  // namespace dialdeck
