#include "contacts_messages.h"

namespace dialdeck {

void show_contacts_message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                           const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void report_contacts_save(QWidget* parent, contacts_save outcome) {
    const QString caption = QStringLiteral("Contacts");
    switch (outcome) {
        case contacts_save::saved:
            return;
        case contacts_save::damaged:
            show_contacts_message(
                parent, QMessageBox::Warning, caption,
                QStringLiteral("The contacts file anima.xml is damaged; it was left unchanged."));
            return;
        case contacts_save::not_found:
            show_contacts_message(
                parent, QMessageBox::Warning, caption,
                QStringLiteral("The contact is no longer in the contacts file anima.xml."));
            return;
        case contacts_save::failed:
            show_contacts_message(parent, QMessageBox::Critical, caption,
                                  QStringLiteral("The contacts file anima.xml could not be "
                                                 "saved; the previous file was kept."));
            return;
    }
}

void report_search_failed(QWidget* parent) {
    show_contacts_message(parent, QMessageBox::Warning, QStringLiteral("Searching..."),
                          QStringLiteral("Search failed."));
}

void report_no_results(QWidget* parent) {
    show_contacts_message(parent, QMessageBox::Warning, QStringLiteral("Searching..."),
                          QStringLiteral("Search returned 0 results."));
}

}  // namespace dialdeck
