#include "login_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdio>

#include "account_prefix.h"
#include "account_record.h"
#include "app_settings.h"
#include "directory_client.h"
#include "directory_items.h"
#include "settings_keys.h"

namespace dialdeck {

namespace {

// A ":" would end the look-up request's account field early.
bool is_account_safe(std::string_view account) {
    return is_record_safe(account) && account.find(':') == std::string_view::npos;
}

bool is_true(const std::string& text) {
    return QString::fromStdString(text).compare("true", Qt::CaseInsensitive) == 0;
}

}  // namespace

LoginDialog::LoginDialog(app_settings& settings, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_prefixes(decode_prefixes(settings.dialdeck("Prefix"))),
      m_directory(parse_directory_login(settings.dialdeck("LDAP"))),
      m_client(std::make_unique<DirectoryClient>()) {
    setWindowTitle(k_login_caption);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_edits = add_account_edits(form, settings);
    m_message = new QLabel(this);
    m_message->setObjectName("message");
    layout->addWidget(m_message);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &LoginDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &LoginDialog::reject);
    connect(m_client.get(), &DirectoryClient::finished, this, &LoginDialog::on_exchange);
}

LoginDialog::~LoginDialog() {
    // The client ends a running exchange as it goes; nobody is left to hear it.
    m_client->disconnect(this);
    if (waiting()) QApplication::restoreOverrideCursor();
}

QString LoginDialog::message() const {
    return m_message->text();
}

void LoginDialog::show_message(const char* text) {
    m_message->setText(text);
}

void LoginDialog::reject() {
    if (!waiting()) QDialog::reject();
}

void LoginDialog::accept() {
    if (waiting()) return;
    m_account = m_edits.account_text();
    m_pin = m_edits.pin_text();
    if (m_account.empty()) {
        show_message(k_message_no_account);
        return;
    }
    if (!prefix_accepts(m_prefixes, m_account) || !is_account_safe(m_account) ||
        !is_record_safe(m_pin)) {
        show_message(k_message_invalid);
        return;
    }
    show_message("");
    if (!m_directory.enabled) {
        finish(m_account, nullptr);
        return;
    }
    if (!m_directory.port || !is_dotted_ipv4(m_directory.address)) {
        finish({}, k_message_socket);
        return;
    }
    m_client->set_server(QString::fromStdString(m_directory.address), *m_directory.port);
    set_waiting(step::lookup);
    const directory_request lookup = account_lookup_request(m_account);
    m_client->start_exchange(lookup.code, lookup.text, lookup.count);
}

void LoginDialog::on_exchange(int result) {
    switch (m_step) {
        case step::idle:
            return;
        case step::lookup:
            on_lookup(result);
            return;
        case step::log_on:
            on_log_on(result);
            return;
    }
}

void LoginDialog::on_lookup(int result) {
    if (result == DIRECTORY_NOT_WRITABLE) {
        finish({}, k_message_socket);  // no connection
        return;
    }
    const auto fields =
        result == DIRECTORY_OK ? parse_lookup_item(m_client->next_item()) : std::nullopt;
    const auto record = fields ? build_record(*fields, m_account, m_pin, m_directory.address,
                                              std::to_string(*m_directory.port))
                               : std::nullopt;
    if (!record) {
        finish({}, k_message_invalid);
        return;
    }
    m_record = *record;
    const account_record read(m_record);
    const directory_request log_on =
        log_on_request(read.field(RECORD_NUMBER), read.field(RECORD_KEY));
    set_waiting(step::log_on);
    m_client->start_exchange(log_on.code, log_on.text, log_on.count);
}

void LoginDialog::on_log_on(int result) {
    if (result != DIRECTORY_OK || !is_true(m_client->last_text())) {
        finish({}, k_message_invalid);
        return;
    }
    finish(m_record, nullptr);
}

void LoginDialog::finish(const std::string& record, const char* failure) {
    set_waiting(step::idle);
    m_client->close();
    const bool state_saved = m_settings.write(k_section_dialdeck, "State", record);
    save_remembered(m_settings, m_edits);
    if (failure) {
        show_message(failure);
        return;
    }
    if (!state_saved) {
        // Going on would log on with a record the next start cannot read.
        std::fputs("dialdeck: the account could not be saved in Config.ini\n", stderr);
        show_message(k_message_not_saved);
        return;
    }
    QDialog::accept();
}

void LoginDialog::set_waiting(step next) {
    const bool was_waiting = waiting();
    m_step = next;
    const bool busy = waiting();
    if (busy == was_waiting) return;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    for (QWidget* input :
         {static_cast<QWidget*>(m_edits.account), static_cast<QWidget*>(m_edits.pin),
          static_cast<QWidget*>(m_edits.remember), static_cast<QWidget*>(m_buttons)}) {
        input->setEnabled(!busy);
    }
}

}  // namespace dialdeck
