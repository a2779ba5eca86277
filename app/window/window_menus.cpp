// The window's menus and the commands behind them.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "account_page.h"
#include "app_folder.h"
#include "app_settings.h"
#include "contacts_actions.h"
#include "country_dialog.h"
#include "link_opener.h"
#include "main_window.h"
#include "recent_numbers.h"
#include "tuning_wizard.h"

namespace dialdeck {

void MainWindow::build_menus() {
    m_file_menu = menuBar()->addMenu("&File");
    m_connect = m_file_menu->addAction("&Connect", this, &MainWindow::connect_to_server);
    m_disconnect = m_file_menu->addAction("&Disconnect", this, &MainWindow::disconnect_from_server);
    // Logged on from the start: the control connects as soon as it is shown.
    m_connect->setEnabled(false);
    m_close = m_file_menu->addAction("C&lose", this, &QWidget::close);
    m_file_menu->addSeparator();
    m_clear_recent =
        m_file_menu->addAction("Clear Phone Number &List", this, &MainWindow::clear_recent_numbers);
    m_recent_separator = m_file_menu->addSeparator();

    QMenu* tools = menuBar()->addMenu("&Tools");
    // A contacts window that finds its colour setting broken ends the program.
    const auto contacts = [this](contacts_outcome (contacts_actions::*command)()) {
        return [this, command] { (m_contacts->*command)(); };
    };
    tools->addAction("Select a Contact to &Call", this,
                     contacts(&contacts_actions::select_to_call));
    tools->addAction("&Manage Contacts", this, contacts(&contacts_actions::manage));
    tools->addAction("&Add a Contact...", this, contacts(&contacts_actions::add));
    tools->addAction("&Search", this, contacts(&contacts_actions::search));
    tools->addSeparator();
    tools->addAction("Country C&odes", this, &MainWindow::show_country_codes);
    m_view_account =
        tools->addAction("View My &Account", this, [this] { open_setting_link("URLAccount"); });
    m_view_balance =
        tools->addAction("View &Balance", this, [this] { open_setting_link("URLBalance"); });
    m_view_rates = tools->addAction("View &Rates", this, [this] { open_setting_link("URLRates"); });
    tools->addSeparator();
    m_always_on_top = tools->addAction("Always On &Top");
    m_always_on_top->setCheckable(true);
    connect(m_always_on_top, &QAction::toggled, this, &MainWindow::toggle_always_on_top);
    m_tuning = tools->addAction("Audio Tuning Wizard...", this,
                                [this] { run_tuning_wizard(this, m_control->raw()); });
    m_options = tools->addAction("&Options...", this, &MainWindow::show_options);

    QMenu* help = menuBar()->addMenu("&Help");
    m_help = help->addAction("&Help Topics", this, &MainWindow::show_help);
    m_about = help->addAction("&About...", this, &MainWindow::show_about);
}

void MainWindow::rebuild_recent_menu() {
    for (QAction* action : m_recent_actions) {
        m_file_menu->removeAction(action);
        action->deleteLater();
    }
    m_recent_actions.clear();
    if (!m_dressing.recent_list) return;
    for (const std::string& number : m_recent) {
        QString text = QString::fromStdString(number);
        // A "&" in a number is shown, not taken as a shortcut.
        QAction* action = new QAction(text.replace("&", "&&"), m_file_menu);
        connect(action, &QAction::triggered, this,
                [this, number] { m_control->call_number(number); });
        m_file_menu->addAction(action);
        m_recent_actions.push_back(action);
    }
}

void MainWindow::clear_recent_numbers() {
    m_recent.clear();
    save_recent_numbers(m_settings.folder(), m_recent);
    rebuild_recent_menu();
}

void MainWindow::open_setting_link(const char* key) {
    open_link(with_pin_number(m_settings.dialdeck(key), m_control->get("ANIDigits")));
}

void MainWindow::show_country_codes() {
    country_dialog::pick(
        load_countries(m_settings.folder()), m_settings.dialdeck("ContactsDressing"),
        [this](const std::string& code) { m_control->dial_number(code); }, this);
}

void MainWindow::toggle_always_on_top(bool on) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing the flags hides a shown window.
    if (visible) show();
}

void MainWindow::show_options() {
    QDialog sheet(this);
    sheet.setWindowTitle("Options");
    auto* layout = new QVBoxLayout(&sheet);
    auto* tabs = new QTabWidget(&sheet);
    auto* account = new AccountPage(m_settings, tabs);
    tabs->addTab(account, "Account");
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &sheet);
    layout->addWidget(buttons);
    // A refused value keeps the sheet open; the page says why.
    connect(buttons, &QDialogButtonBox::accepted, &sheet, [&sheet, account] {
        if (account->apply()) sheet.accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    sheet.exec();
}

void MainWindow::show_help() {
    // The operator's own help first, then the one installed with the program.
    QString file = QString::fromStdString(application_file(m_settings.folder(), "help/Help.html"));
    if (!QFileInfo::exists(file))
        file = QApplication::applicationDirPath() + "/../share/dialdeck/help/Help.html";
    open_link(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString().toStdString());
}

void MainWindow::show_about() {
    auto fields = split_fields(m_settings.dialdeck("AboutDressing"));
    const QString caption =
        fields[0].empty() ? QString("About Dialdeck") : QString::fromStdString(fields[0]);
    QString text;
    for (size_t i = 1; i < fields.size(); ++i) text += QString::fromStdString(fields[i]) + "\n";
    text += QString("Version ") + k_program_version;
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace dialdeck
