// The "Add a Contact" wizard: a contact typed in goes to the contacts file;
// one found in the directory goes to the subscriber's server-side list.
#pragma once

#include <QWizard>
#include <vector>

#include "contacts_book.h"
#include "contacts_config.h"
#include "directory_items.h"

class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace dialdeck {

class add_contact_wizard : public QWizard {
    Q_OBJECT

  public:
    enum page_id { choice_page, manual_page, search_page, found_page };

    add_contact_wizard(contacts_account account, contacts_book& book, QWidget* parent = nullptr);

    // True once a contact went into the contacts file.
    bool book_changed() const { return m_book_changed; }
    // True once the server took a number for the subscriber's list.
    bool server_list_changed() const { return m_server_list_changed; }

    QRadioButton* manual_choice() const { return m_manual; }
    QRadioButton* search_choice() const { return m_search; }
    QLineEdit* first_edit() const { return m_first; }
    QLineEdit* last_edit() const { return m_last; }
    QLineEdit* phone_edit() const { return m_phone; }
    QLineEdit* search_first_edit() const { return m_search_first; }
    QLineEdit* search_last_edit() const { return m_search_last; }
    QTreeWidget* results() const { return m_results; }

    int nextId() const override;
    bool validateCurrentPage() override;

  private:
    bool save_typed_contact();
    bool run_search();
    bool add_found_contact();

    contacts_account m_account;
    contacts_book& m_book;
    bool m_book_changed = false;
    bool m_server_list_changed = false;
    std::vector<search_row> m_rows;
    QRadioButton* m_manual;
    QRadioButton* m_search;
    QLineEdit* m_first;
    QLineEdit* m_last;
    QLineEdit* m_phone;
    QLineEdit* m_search_first;
    QLineEdit* m_search_last;
    QTreeWidget* m_results;
};

}  // namespace dialdeck
