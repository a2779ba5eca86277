#include "main_window.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "ad_area.h"
#include "ad_rotation.h"
#include "app_folder.h"
#include "app_settings.h"
#include "ca_file.h"
#include "contacts_actions.h"
#include "directory_client.h"
#include "ini_text.h"
#include "link_opener.h"
#include "recent_numbers.h"
#include "scrambler.h"
#include "settings_file.h"
#include "version_check.h"
#include "version_dialogs.h"

namespace dialdeck {

namespace {

QColor colour_of(const rgb& c) {
    return QColor(c.red, c.green, c.blue);
}

void show_box(QWidget* parent, const window_message& m) {
    const auto icon = m.kind == window_message::icon::stop          ? QMessageBox::Critical
                      : m.kind == window_message::icon::exclamation ? QMessageBox::Warning
                                                                    : QMessageBox::Information;
    auto* box = new QMessageBox(icon, QString::fromStdString(m.caption),
                                QString::fromStdString(m.text), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (m.wait)
        box->exec();
    else
        box->open();
}

void place_label(QLabel* label, const placed_label& where, const QColor& text) {
    label->setVisible(where.shown);
    label->move(where.x, where.y);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
}

}  // namespace

int exit_code_of(startup_outcome outcome) {
    return outcome == startup_outcome::exit_failed ? 1 : 0;
}

MainWindow::MainWindow(app_settings& settings, std::unique_ptr<phone_control> control,
                       window_services services)
    : m_settings(settings),
      m_control(std::move(control)),
      m_services(std::move(services)),
      m_sink([this](int state) {
          // After the control's own call has returned: the handler calls back into it.
          QMetaObject::invokeMethod(
              this, [this, state] { change_quillon_state(state); }, Qt::QueuedConnection);
      }),
      m_presence(std::make_unique<DirectoryClient>()) {
    if (!m_services.message) m_services.message = show_box;
    if (!m_services.login)
        m_services.login = [](QWidget* parent, app_settings& s) { return run_login(parent, s); };
    m_canvas = new QWidget(this);
    m_canvas->setAutoFillBackground(true);
    setCentralWidget(m_canvas);
    m_ad_area = new AdArea(m_canvas, [](const QString& url) { open_link(url.toStdString()); });
    m_date = new QLabel(m_canvas);
    m_duration = new QLabel(m_canvas);
    m_account = new QLabel(m_canvas);
    for (size_t i = 0; i < m_links.size(); ++i) {
        m_links[i] = new QPushButton(QString("Button%1").arg(i + 1), m_canvas);
        m_links[i]->hide();
    }
    m_call_timer_button = new QPushButton("Start Call Timer", m_canvas);
    m_call_timer_button->hide();
    connect(m_call_timer_button, &QPushButton::clicked, this, &MainWindow::start_call_timer);
    m_contacts = new contacts_actions(this, m_settings, m_settings.folder(), this);
    connect(m_contacts, &contacts_actions::call_number, this,
            [this](const QString& number) { m_control->call_number(number.toStdString()); });
    connect(m_contacts, &contacts_actions::end_program, this, [this](int code) {
        close();
        QCoreApplication::exit(code);
    });
    m_tick_timer = new QTimer(this);
    connect(m_tick_timer, &QTimer::timeout, this, &MainWindow::tick);
    build_menus();
    if (QWidget* phone = m_control->raw()->Widget()) phone->setParent(m_canvas);
    m_control->raw()->Advise(&m_sink);
}

MainWindow::~MainWindow() {
    m_control->raw()->Unadvise();
    // The control's widget belongs to the control, not to this window.
    if (QWidget* phone = m_control->raw()->Widget()) phone->setParent(nullptr);
}

void MainWindow::message(const std::string& caption, const std::string& text,
                         window_message::icon icon, bool wait) {
    m_services.message(this, {caption, text, icon, wait});
}

startup_outcome MainWindow::start() {
    // 1. The version check may end the program for a download.
    auto settings = version_settings_from(m_settings);
    settings.ca_file = ca_file_path(m_settings);
    VersionDialogs version_dialogs(this, [](const std::string& url) { open_link(url); });
    if (run_version_check(settings, version_dialogs, m_services.fetch) ==
        version_outcome::exit_for_download)
        return startup_outcome::exit_quietly;

    // 2.
    set_icons();

    // 3.
    const auto ldap = split_fields(m_settings.dialdeck("LDAP"));
    m_settings.write("Phone", "OverRideANI", ldap[0] == "1" ? "false" : "true");
    m_call_timer = call_timer(read_number(m_settings.dialdeck("Timer")), false);
    m_idle = idle_limit(read_number(m_settings.dialdeck("Idle")));
    m_idle_message_shown = false;
    m_recent = load_recent_numbers(m_settings.folder());

    // 4.
    if (!apply_window_dressing()) {
        message("Initializing...", "Initialization error 101", window_message::icon::stop, true);
        return startup_outcome::exit_failed;
    }

    // 5.
    m_ads = new AdRotation(ad_entries(m_settings), m_ad_area, web_ad_fetcher(m_settings), this);
    m_ads->start();

    // 6.
    const login_outcome login = m_services.login(this, m_settings);
    if (login == login_outcome::exit_program) return startup_outcome::exit_quietly;
    m_logged_in = login == login_outcome::logged_in;

    // 7.
    m_tick_timer->start(1000);

    // 8.
    push_phone_settings();

    // 9.
    if (!apply_button_dressing()) {
        message("Initializing...", "Initialization error 105", window_message::icon::stop, true);
        return startup_outcome::exit_failed;
    }
    rebuild_recent_menu();
    return startup_outcome::shown;
}

void MainWindow::set_icons() {
    const std::string file = split_fields(m_settings.dialdeck("Icon"))[0];
    if (file.empty()) return;
    const QIcon icon(QString::fromStdString(application_file(m_settings.folder(), file)));
    if (icon.isNull()) return;
    setWindowIcon(icon);
    QApplication::setWindowIcon(icon);
}

bool MainWindow::apply_window_dressing() {
    const auto dressing = parse_window_dressing(m_settings.dialdeck("WindowDressing"));
    if (!dressing) return false;
    m_dressing = *dressing;
    const window_dressing& d = m_dressing;
    setWindowTitle(QString::fromStdString(d.caption));
    m_canvas->setFixedSize(d.width, d.height);
    QPalette palette = m_canvas->palette();
    palette.setColor(QPalette::Window, colour_of(d.background));
    m_canvas->setPalette(palette);
    if (QWidget* phone = m_control->raw()->Widget()) {
        phone->setGeometry((d.width - d.phone_width) / 2, 0, d.phone_width, d.phone_height);
        phone->show();
    }
    // The area takes each picture's own size.
    m_ad_area->move(d.ad.x, d.ad.y);
    const QColor text = colour_of(d.label_text);
    place_label(m_date, d.date_time, text);
    place_label(m_duration, d.call_duration, text);
    place_label(m_account, d.account, text);
    m_duration->setText("Call Duration: 00:00:00");
    m_duration->adjustSize();
    m_close->setEnabled(d.close);
    m_always_on_top->setEnabled(d.always_on_top);
    m_options->setEnabled(d.options);
    m_help->setEnabled(d.help_topics);
    m_about->setEnabled(d.about);
    m_view_account->setEnabled(d.view_account);
    m_view_balance->setEnabled(d.view_balance);
    m_view_rates->setEnabled(d.view_rates);
    m_tuning->setEnabled(d.tuning_wizard);
    adjustSize();
    return true;
}

bool MainWindow::apply_button_dressing() {
    const auto dressing = parse_button_dressing(m_settings.dialdeck("ButtonDressing"));
    if (!dressing) return false;
    const std::string pin = m_control->get("ANIDigits");
    for (size_t i = 0; i < m_links.size(); ++i) {
        const dressed_button& b = dressing->links[i];
        QPushButton* button = m_links[i];
        button->setText(QString::fromStdString(b.caption));
        button->setGeometry(b.where.x, b.where.y, b.where.width, b.where.height);
        button->setVisible(b.where.width > 0);
        button->disconnect();
        const std::string url = with_pin_number(b.url, pin);
        connect(button, &QPushButton::clicked, this, [url] { open_link(url); });
    }
    const dressed_button& t = dressing->call_timer;
    m_call_timer_button->setText(QString::fromStdString(t.caption));
    m_call_timer_button->setGeometry(t.where.x, t.where.y, t.where.width, t.where.height);
    m_call_timer_button->setVisible(t.where.width > 0);
    m_call_timer.set_manual(t.where.width > 0);
    return true;
}

std::vector<std::string> MainWindow::stored_record() const {
    const std::string state = m_settings.reread("Dialdeck", "State");
    if (state.empty()) return {};
    return split_fields(state);
}

bool MainWindow::directory_login() const {
    return split_fields(m_settings.dialdeck("LDAP"))[0] == "1";
}

void MainWindow::push_phone_settings() {
    // A key the file lacks keeps the control's own default: pushed as "", it
    // would leave the phone without its skin, texts and colours.
    const auto lines = m_settings.file().section_lines("Phone");
    const auto in_file = [&](const std::string& key) {
        const std::string start = scramble(key) + "=";
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.size() >= start.size() &&
                   equal_ignoring_ascii_case(std::string_view(line).substr(0, start.size()), start);
        });
    };
    for (const auto& [key, value] : m_settings.phone_values())
        if (in_file(key)) m_control->put(key, value);
    const std::string state = m_settings.dialdeck("State");
    if (state.empty()) return;
    if (directory_login()) {
        auto record = split_fields(state);
        // A short record reads its missing fields as empty.
        record.resize(std::max<size_t>(record.size(), 13));
        m_control->put("OverRideANI", "false");
        m_control->put("CASAccount", record[9]);
        m_control->put("CASPin", record[10]);
        m_control->put("CallerIDName", record[0] + " " + record[1]);
        m_control->put("CallerIDNumber", record[2]);
        m_control->put("IPPhoneNumber", record[2]);
        m_control->put("PhoneNumber", record[2]);
        m_account->setText(QString::fromStdString(record[0] + " " + record[1] + " - " + record[2]));
        m_account->adjustSize();
        return;
    }
    m_control->put("OverRideANI", "true");
    m_control->put("ANIDigits", state);
    for (const char* key :
         {"CASAccount", "CASPin", "CallerIDName", "CallerIDNumber", "IPPhoneNumber", "PhoneNumber"})
        m_control->put(key, "");
}

}  // namespace dialdeck
