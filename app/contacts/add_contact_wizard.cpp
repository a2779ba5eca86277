#include "add_contact_wizard.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWizardPage>

#include "contacts_directory.h"
#include "contacts_messages.h"

namespace dialdeck {

namespace {

QWizardPage* make_page(const QString& title, QLayout* layout) {
    auto* page = new QWizardPage;
    page->setTitle(title);
    page->setLayout(layout);
    return page;
}

QFormLayout* name_form(QLineEdit* first, QLineEdit* last) {
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("First Name"), first);
    form->addRow(QStringLiteral("Last Name"), last);
    return form;
}

// A record without a number cannot be called: Finish waits for one.
class manual_entry_page : public QWizardPage {
  public:
    explicit manual_entry_page(QLineEdit* phone) : m_phone(phone) {
        QObject::connect(phone, &QLineEdit::textChanged, this, [this] { emit completeChanged(); });
    }
    bool isComplete() const override { return !m_phone->text().trimmed().isEmpty(); }

  private:
    QLineEdit* m_phone;
};

std::string typed(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

}  // namespace

add_contact_wizard::add_contact_wizard(contacts_account account, contacts_book& book,
                                       QWidget* parent)
    : QWizard(parent),
      m_account(std::move(account)),
      m_book(book),
      m_manual(new QRadioButton(QStringLiteral("Manually enter information"))),
      m_search(new QRadioButton(QStringLiteral("Search for a contact"))),
      m_first(new QLineEdit),
      m_last(new QLineEdit),
      m_phone(new QLineEdit),
      m_search_first(new QLineEdit),
      m_search_last(new QLineEdit),
      m_results(new QTreeWidget) {
    setWindowTitle(QStringLiteral("Add a Contact"));
    setOption(QWizard::NoBackButtonOnStartPage);

    m_manual->setChecked(true);
    auto* choice = new QVBoxLayout;
    choice->addWidget(m_manual);
    choice->addWidget(m_search);
    choice->addStretch();
    setPage(choice_page, make_page(QStringLiteral("How do you want to add a contact?"), choice));

    QFormLayout* manual = name_form(m_first, m_last);
    manual->addRow(QStringLiteral("Phone Number"), m_phone);
    auto* manual_entry = new manual_entry_page(m_phone);
    manual_entry->setLayout(manual);
    manual_entry->setFinalPage(true);
    setPage(manual_page, manual_entry);

    setPage(search_page, make_page(QStringLiteral("Search for a contact"),
                                   name_form(m_search_first, m_search_last)));

    m_results->setColumnCount(2);
    m_results->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Phone")});
    m_results->setColumnWidth(0, 140);
    m_results->setColumnWidth(1, 95);
    m_results->setRootIsDecorated(false);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto* found = new QVBoxLayout;
    found->addWidget(new QLabel(QStringLiteral("Search Results:")));
    found->addWidget(m_results);
    QWizardPage* found_entry = make_page(QStringLiteral("Select a contact to add."), found);
    found_entry->setFinalPage(true);
    setPage(found_page, found_entry);
    setStartId(choice_page);
}

int add_contact_wizard::nextId() const {
    switch (currentId()) {
        case choice_page:
            return m_manual->isChecked() ? manual_page : search_page;
        case search_page:
            return found_page;
        default:
            return -1;
    }
}

bool add_contact_wizard::validateCurrentPage() {
    switch (currentId()) {
        case manual_page:
            return save_typed_contact();
        case search_page:
            return run_search();
        case found_page:
            return add_found_contact();
        default:
            return true;
    }
}

bool add_contact_wizard::save_typed_contact() {
    const contacts_save outcome = m_book.add({typed(m_first), typed(m_last), typed(m_phone)});
    report_contacts_save(this, outcome);
    if (outcome != contacts_save::saved) return false;
    m_book_changed = true;
    return true;
}

bool add_contact_wizard::run_search() {
    m_results->clear();
    search_result found = search_directory(m_account, typed(m_search_first), typed(m_search_last));
    if (!found.ok) {
        report_search_failed(this);
        return false;
    }
    if (found.rows.empty()) {
        report_no_results(this);
        return false;
    }
    m_rows = std::move(found.rows);
    for (const search_row& row : m_rows) {
        m_results->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(row.name), QString::fromStdString(row.number)}));
    }
    return true;
}

bool add_contact_wizard::add_found_contact() {
    const QString caption = QStringLiteral("Add Contact");
    const int index = m_results->indexOfTopLevelItem(m_results->currentItem());
    if (index < 0 || !m_results->currentItem()->isSelected()) {
        show_contacts_message(this, QMessageBox::Warning, caption,
                              QStringLiteral("Please select a name to add to your contacts."));
        return false;
    }
    const search_row& row = m_rows[static_cast<size_t>(index)];
    if (!add_to_server_list(m_account, row.number)) {
        show_contacts_message(this, QMessageBox::Warning, caption,
                              QStringLiteral("Could not add to contacts."));
        return false;
    }
    m_server_list_changed = true;
    show_contacts_message(this, QMessageBox::Information, caption,
                          QString::fromStdString(row.name) + QStringLiteral(" added to contacts."));
    return true;
}

}  // namespace dialdeck
