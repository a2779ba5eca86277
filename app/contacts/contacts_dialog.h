// The "Contacts" window: the personal phone book, the subscriber's list on
// the directory server, and directory searches, with a number to call as
// its result.
#pragma once

#include <QColor>
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "contacts_book.h"
#include "contacts_config.h"

class QAction;
class QComboBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace dialdeck {

class contacts_dialog : public QDialog {
    Q_OBJECT

  public:
    enum class source { directory, server, mine };

    // With the directory the sources are "Directory", "LDAP Contacts" and
    // "My Contacts", the server list first; without it only "My Contacts".
    contacts_dialog(std::optional<QColor> background, bool with_directory, contacts_account account,
                    std::string contacts_path, QWidget* parent = nullptr);

    // Opens on "Directory" (when offered) and asks for a search once shown.
    void start_with_search();

    // The number chosen to call; empty until then.
    const std::string& chosen_number() const { return m_chosen; }
    source current_source() const;

    QComboBox* sources() const { return m_sources; }
    QTreeWidget* list() const { return m_list; }
    QAction* call_action() const { return m_call; }
    QAction* search_action() const { return m_search; }
    QAction* add_action() const { return m_add; }
    QAction* delete_action() const { return m_delete; }
    QAction* edit_action() const { return m_edit; }

  public slots:
    void call();
    void search();
    void add();
    void remove();
    void edit();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void source_chosen();
    void show_mine();
    void show_server_list();
    void show_context_menu(const QPoint& at);
    void search_directory_for(const QString& text);
    void select_by_prefix(const QString& text);
    // The selected row of "My Contacts": its index in the file's records.
    std::optional<size_t> selected_record() const;
    QTreeWidgetItem* selected_row() const;
    void add_row(const std::string& name, const std::string& number);

    contacts_account m_account;
    contacts_book m_book;
    std::vector<contact_record> m_records;
    std::string m_chosen;
    bool m_loaded = false;
    bool m_search_on_show = false;
    QComboBox* m_sources;
    QTreeWidget* m_list;
    QAction* m_call;
    QAction* m_search;
    QAction* m_add;
    QAction* m_delete;
    QAction* m_edit;
};

}  // namespace dialdeck
