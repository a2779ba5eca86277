#include "contacts_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>
#include <utility>

#include "add_contact_wizard.h"
#include "contacts_directory.h"
#include "contacts_icons.h"
#include "contacts_messages.h"
#include "edit_contact_dialog.h"
#include "search_dialog.h"

namespace dialdeck {

namespace {

constexpr int k_marked_icon = 0;
constexpr int k_unmarked_icon = 1;

void select_contact_first(QWidget* parent, const char* what) {
    show_contacts_message(parent, QMessageBox::Warning, QStringLiteral("Select Contact"),
                          QString::fromLatin1(what));
}

}  // namespace

contacts_dialog::contacts_dialog(std::optional<QColor> background, bool with_directory,
                                 contacts_account account, std::string contacts_path,
                                 QWidget* parent)
    : QDialog(parent),
      m_account(std::move(account)),
      m_book(std::move(contacts_path)),
      m_sources(new QComboBox(this)),
      m_list(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Contacts"));
    if (background) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, *background);
        setPalette(palette);
        setAutoFillBackground(true);
    }

    if (with_directory) {
        m_sources->addItem(QStringLiteral("Directory"), int(source::directory));
        m_sources->addItem(QStringLiteral("LDAP Contacts"), int(source::server));
    }
    m_sources->addItem(QStringLiteral("My Contacts"), int(source::mine));
    m_sources->setCurrentIndex(
        m_sources->findData(int(with_directory ? source::server : source::mine)));

    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Phone")});
    m_list->setColumnWidth(0, 140);
    m_list->setColumnWidth(1, 95);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setIconSize(QSize(k_contact_icon_width, k_contact_icon_height));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* menu_bar = new QMenuBar(this);
    QMenu* menu = menu_bar->addMenu(QStringLiteral("&Contacts"));
    m_call = menu->addAction(QStringLiteral("&Call"), this, &contacts_dialog::call);
    m_search = menu->addAction(QStringLiteral("&Search..."), this, &contacts_dialog::search);
    m_add = menu->addAction(QStringLiteral("&Add a Contact..."), this, &contacts_dialog::add);
    menu->addSeparator();
    m_delete = menu->addAction(QStringLiteral("&Delete"), this, &contacts_dialog::remove);
    m_edit = menu->addAction(QStringLiteral("&Edit..."), this, &contacts_dialog::edit);
    menu->addSeparator();
    menu->addAction(QStringLiteral("C&lose"), this, &QDialog::reject);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&Call"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::accepted, this, &contacts_dialog::call);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu_bar);
    layout->addWidget(m_sources);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(300, 360);

    connect(m_sources, &QComboBox::currentIndexChanged, this, &contacts_dialog::source_chosen);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &contacts_dialog::call);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            &contacts_dialog::show_context_menu);
}

void contacts_dialog::start_with_search() {
    const int directory = m_sources->findData(int(source::directory));
    if (directory >= 0) m_sources->setCurrentIndex(directory);
    m_search_on_show = true;
}

contacts_dialog::source contacts_dialog::current_source() const {
    return static_cast<source>(m_sources->currentData().toInt());
}

void contacts_dialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_loaded) return;
    m_loaded = true;
    // Once the window is on the screen, so a directory exchange has it to paint.
    QTimer::singleShot(0, this, [this] {
        source_chosen();
        if (m_search_on_show) search();
    });
}

void contacts_dialog::source_chosen() {
    const bool mine = current_source() == source::mine;
    m_delete->setEnabled(mine);
    m_edit->setEnabled(mine);
    switch (current_source()) {
        case source::mine:
            show_mine();
            break;
        case source::server:
            show_server_list();
            break;
        case source::directory:
            m_list->clear();
            break;
    }
}

void contacts_dialog::add_row(const std::string& name, const std::string& number) {
    m_list->addTopLevelItem(
        new QTreeWidgetItem({QString::fromStdString(name), QString::fromStdString(number)}));
}

void contacts_dialog::show_mine() {
    auto loaded = m_book.load();
    if (auto* records = std::get_if<std::vector<contact_record>>(&loaded)) {
        m_records = std::move(*records);
    } else if (auto* error = std::get_if<contacts_parse_error>(&loaded)) {
        show_contacts_message(this, QMessageBox::Warning, QStringLiteral("Parse Error"),
                              QStringLiteral("At line %1\n%2")
                                  .arg(error->line)
                                  .arg(QString::fromStdString(error->reason)));
    } else {
        show_contacts_message(this, QMessageBox::Warning, QStringLiteral("Contacts"),
                              QStringLiteral("The contacts file anima.xml could not be read."));
    }
    // A file that did not load leaves the rows read before.
    m_list->clear();
    for (size_t i = 0; i < m_records.size(); ++i) {
        add_row(m_records[i].display_name(), m_records[i].phone);
        m_list->topLevelItem(static_cast<int>(i))->setData(0, Qt::UserRole, qulonglong(i));
    }
}

void contacts_dialog::show_server_list() {
    m_list->clear();
    const server_list list = load_server_list(m_account);
    if (!list.ok) {
        report_search_failed(this);
        return;
    }
    for (const server_contact& contact : list.contacts) {
        add_row(contact.name, contact.number);
        m_list->topLevelItem(m_list->topLevelItemCount() - 1)
            ->setIcon(0, contact_icon(contact.marked ? k_marked_icon : k_unmarked_icon));
    }
}

QTreeWidgetItem* contacts_dialog::selected_row() const {
    QTreeWidgetItem* row = m_list->currentItem();
    return row && row->isSelected() ? row : nullptr;
}

std::optional<size_t> contacts_dialog::selected_record() const {
    const QTreeWidgetItem* row = selected_row();
    if (!row || current_source() != source::mine) return std::nullopt;
    const size_t index = row->data(0, Qt::UserRole).toULongLong();
    if (index >= m_records.size()) return std::nullopt;
    return index;
}

void contacts_dialog::call() {
    const QTreeWidgetItem* row = selected_row();
    if (!row) {
        select_contact_first(this, "Please select a contact to call.");
        return;
    }
    m_chosen = row->text(1).toStdString();
    accept();
}

void contacts_dialog::search() {
    search_dialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (current_source() == source::directory) {
        search_directory_for(dialog.text());
    } else {
        select_by_prefix(dialog.text());
    }
}

void contacts_dialog::search_directory_for(const QString& text) {
    m_list->clear();
    const std::string typed = text.toStdString();
    const search_result by_first = search_directory(m_account, typed, "");
    const search_result by_last = search_directory(m_account, "", typed);
    if (!by_first.ok || !by_last.ok) {
        report_search_failed(this);
        return;
    }
    // One subscriber can match both names.
    std::set<std::pair<std::string, std::string>> shown;
    for (const search_result* found : {&by_first, &by_last}) {
        for (const search_row& row : found->rows) {
            if (shown.emplace(row.name, row.number).second) add_row(row.name, row.number);
        }
    }
    if (shown.empty()) report_no_results(this);
}

void contacts_dialog::select_by_prefix(const QString& text) {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_list->topLevelItem(i);
        if (row->text(0).startsWith(text, Qt::CaseInsensitive)) {
            m_list->setCurrentItem(row);
            row->setSelected(true);
            m_list->scrollToItem(row);
            return;
        }
    }
    report_no_results(this);
}

void contacts_dialog::add() {
    add_contact_wizard wizard(m_account, m_book, this);
    wizard.exec();
    if ((wizard.book_changed() && current_source() == source::mine) ||
        (wizard.server_list_changed() && current_source() == source::server)) {
        source_chosen();
    }
}

void contacts_dialog::remove() {
    if (current_source() != source::mine) return;
    const std::optional<size_t> index = selected_record();
    if (!index) {
        select_contact_first(this, "Please select a contact to delete.");
        return;
    }
    report_contacts_save(this, m_book.remove(*index, m_records[*index]));
    show_mine();
}

void contacts_dialog::edit() {
    if (current_source() != source::mine) return;
    const std::optional<size_t> index = selected_record();
    if (!index) {
        select_contact_first(this, "Please select a contact to edit.");
        return;
    }
    edit_contact_dialog dialog(m_records[*index], this);
    if (dialog.exec() != QDialog::Accepted) return;
    report_contacts_save(this, m_book.replace(*index, m_records[*index], dialog.record()));
    show_mine();
}

void contacts_dialog::show_context_menu(const QPoint& at) {
    QTreeWidgetItem* row = m_list->itemAt(at);
    if (!row) return;
    m_list->setCurrentItem(row);
    row->setSelected(true);
    QMenu menu(this);
    menu.addAction(QStringLiteral("Make a Phone Call"), this, &contacts_dialog::call);
    if (current_source() == source::mine) {
        menu.addSeparator();
        menu.addAction(QStringLiteral("Delete Contact"), this, &contacts_dialog::remove);
        menu.addAction(QStringLiteral("Edit Contact"), this, &contacts_dialog::edit);
    }
    menu.exec(m_list->viewport()->mapToGlobal(at));
}

}  // namespace dialdeck
