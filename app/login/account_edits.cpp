#include "account_edits.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "app_settings.h"
#include "login_settings.h"
#include "settings_keys.h"

namespace dialdeck {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

std::string account_edits::account_text() const {
    return account->text().toStdString();
}

std::string account_edits::pin_text() const {
    return pin->text().toStdString();
}

account_edits add_account_edits(QFormLayout* form, const app_settings& settings) {
    const login_options options = parse_login_options(settings.dialdeck("LoginOptions"));
    QWidget* owner = form->parentWidget();
    account_edits edits;
    edits.account = new QLineEdit(qt(settings.value(k_section_phone, "CASAccount")), owner);
    edits.account->setObjectName("account");
    edits.pin = new QLineEdit(qt(settings.value(k_section_phone, "CASPin")), owner);
    edits.pin->setObjectName("pin");
    edits.pin_label = new QLabel("PIN:", owner);
    edits.remember = new QCheckBox(k_remember_text, owner);
    edits.remember->setObjectName("remember");
    edits.remember->setChecked(!edits.account->text().isEmpty());
    if (options.mask_account) edits.account->setEchoMode(QLineEdit::Password);
    if (options.mask_pin) edits.pin->setEchoMode(QLineEdit::Password);
    form->addRow("Account number:", edits.account);
    form->addRow(edits.pin_label, edits.pin);
    form->addRow(edits.remember);
    edits.pin_label->setVisible(options.show_pin);
    edits.pin->setVisible(options.show_pin);
    return edits;
}

bool save_remembered(app_settings& settings, const account_edits& edits) {
    const bool keep = edits.remember->isChecked();
    const bool account_ok =
        settings.write(k_section_phone, "CASAccount", keep ? edits.account_text() : "");
    const bool pin_ok = settings.write(k_section_phone, "CASPin", keep ? edits.pin_text() : "");
    return account_ok && pin_ok;
}

}  // namespace dialdeck
