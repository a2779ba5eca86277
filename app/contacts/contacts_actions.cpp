#include "contacts_actions.h"

#include <QMessageBox>
#include <QWidget>

#include "add_contact_wizard.h"
#include "app_settings.h"
#include "contacts_book.h"
#include "contacts_config.h"
#include "contacts_dialog.h"

namespace dialdeck {

contacts_actions::contacts_actions(QWidget* window, app_settings& settings, std::string folder,
                                   QObject* parent)
    : QObject(parent), m_window(window), m_settings(settings), m_file(std::move(folder)) {
    if (!m_file.empty() && m_file.back() != '/') m_file += '/';
    m_file += k_contacts_file_name;
}

contacts_actions::~contacts_actions() = default;

bool contacts_actions::dressing_usable() {
    if (contacts_colour(m_settings.dialdeck("ContactsDressing"))) return true;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Initializing..."),
                    QStringLiteral("Initialization error 102"), QMessageBox::Ok, m_window);
    box.exec();
    emit end_program(k_contacts_exit_code);
    return false;
}

contacts_outcome contacts_actions::open_window(start how) {
    if (!dressing_usable()) return contacts_outcome::end_program;
    const auto rgb = *contacts_colour(m_settings.dialdeck("ContactsDressing"));
    contacts_dialog dialog(
        QColor(rgb[0], rgb[1], rgb[2]), directory_enabled(m_settings.dialdeck("LDAP")),
        contacts_account::from_record(m_settings.dialdeck("State")), m_file, m_window);
    if (how == start::search) dialog.start_with_search();
    if (dialog.exec() == QDialog::Accepted && !dialog.chosen_number().empty()) {
        emit call_number(QString::fromStdString(dialog.chosen_number()));
    }
    return contacts_outcome::done;
}

contacts_outcome contacts_actions::select_to_call() {
    return open_window(start::list);
}

contacts_outcome contacts_actions::manage() {
    return open_window(start::list);
}

contacts_outcome contacts_actions::search() {
    return open_window(start::search);
}

contacts_outcome contacts_actions::add() {
    if (!dressing_usable()) return contacts_outcome::end_program;
    contacts_book book(m_file);
    add_contact_wizard wizard(contacts_account::from_record(m_settings.dialdeck("State")), book,
                              m_window);
    wizard.exec();
    return contacts_outcome::done;
}

}  // namespace dialdeck
