// The message boxes of the contacts windows, and what a failed change of the
// contacts file tells the user.
#pragma once

#include <QMessageBox>
#include <QString>

#include "contacts_book.h"

namespace dialdeck {

void show_contacts_message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                           const QString& text);

// Nothing for a saved change.
void report_contacts_save(QWidget* parent, contacts_save outcome);

void report_search_failed(QWidget* parent);
void report_no_results(QWidget* parent);

}  // namespace dialdeck
