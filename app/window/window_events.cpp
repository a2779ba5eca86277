// The window's reactions to time and to the control: the one-second tick,
// state changes, connecting, disconnecting and closing.
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <ctime>

#include "app_settings.h"
#include "directory_client.h"
#include "directory_protocol.h"
#include "main_window.h"
#include "recent_numbers.h"

namespace dialdeck {

namespace {

// Ticks between two keep-alives: the count must pass this.
constexpr int k_keep_alive_after = 28;
constexpr char k_no_call_manager[] = "0.0.0.0";

// The record's directory address and port, or nothing when the record lacks them.
bool presence_target(const std::vector<std::string>& record, QString& address, quint16& port) {
    if (record.size() < 13 || !is_dotted_ipv4(record[11])) return false;
    const int number = parse_directory_number(record[12]);
    if (number <= 0 || number > 65535) return false;
    address = QString::fromStdString(record[11]);
    port = static_cast<quint16>(number);
    return true;
}

}  // namespace

void MainWindow::tick() {
    // 1.
    if (const auto seconds = m_call_timer.tick()) {
        m_duration->setText(QString::fromStdString(
            duration_text(m_settings.dialdeck("CallDurationFormat"), *seconds)));
        m_duration->adjustSize();
    }
    // 2.
    if (m_flashing) QApplication::alert(this);
    // 3.
    if (m_logged_in && directory_login() && ++m_keep_alive_ticks > k_keep_alive_after) {
        m_keep_alive_ticks = 0;
        send_keep_alive();
    }
    // 4.
    if (m_idle.tick()) {
        m_settings.write("Dialdeck", "State", "");
        m_control->put("CallManager", k_no_call_manager);
        m_control->update_call_manager();
        m_connect->setEnabled(true);
        m_disconnect->setEnabled(false);
        if (!m_idle_message_shown) {
            m_idle_message_shown = true;
            message(
                "Disconnect",
                "You have been logged out due to inactivity.\nClick Connect on the File menu to "
                "reconnect.",
                window_message::icon::exclamation, false);
        }
    }
    // 5.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local)) {
        m_date->setText(QString::fromStdString(clock_text(local)));
        m_date->adjustSize();
    }
}

void MainWindow::send_keep_alive() {
    // In the background: a slow directory never holds up the window.
    if (m_presence->running()) return;
    const auto record = stored_record();
    QString address;
    quint16 port = 0;
    if (!presence_target(record, address, port)) return;
    m_presence->set_server(address, port);
    const directory_request request = keep_alive_request(record[2]);
    m_presence->start_exchange(request.code, request.text, request.count);
}

void MainWindow::change_quillon_state(int state) {
    // Any state but an incoming call ends the flashing, a missed call's Idle too.
    m_flashing = state == KESTREL_STATE_INCOMING_CALL;
    switch (state) {
        case KESTREL_STATE_IDLE:
            m_call_timer.stop();
            if (m_dressing.recent_list) {
                const auto merged = merge_recent_numbers(m_recent, m_control->last_ten_dialed());
                if (merged != m_recent) {
                    m_recent = merged;
                    save_recent_numbers(m_settings.folder(), m_recent);
                    rebuild_recent_menu();
                }
            }
            m_idle.enable(true);
            break;
        case KESTREL_STATE_CONNECTED:
            if (!m_call_timer.manual()) {
                m_call_timer.start();
                m_duration->clear();
            }
            m_idle.enable(false);
            break;
        case KESTREL_STATE_INCOMING_CALL:
            showNormal();
            raise();
            QApplication::alert(this);
            break;
        default:
            break;
    }
    emit state_changed(state);
}

void MainWindow::start_call_timer() {
    m_call_timer.start();
    m_duration->clear();
}

void MainWindow::connect_to_server() {
    m_control->put("CallManager", m_settings.value("Phone", "CallManager"));
    // Without it the control stays logged off after a Disconnect.
    m_control->update_call_manager();
    m_connect->setEnabled(false);
    m_disconnect->setEnabled(true);
}

void MainWindow::disconnect_from_server() {
    m_settings.write("Dialdeck", "State", "");
    m_control->put("CallManager", k_no_call_manager);
    m_control->update_call_manager();
    m_connect->setEnabled(true);
    m_disconnect->setEnabled(false);
}

void MainWindow::log_off() {
    if (!m_logged_in || !directory_login()) return;
    const auto record = stored_record();
    QString address;
    quint16 port = 0;
    if (!presence_target(record, address, port)) return;
    // Its own client: a keep-alive may still be under way. Bounded by the
    // client's time limit; a failure is of no consequence.
    DirectoryClient client;
    client.set_server(address, port);
    client.exchange(log_off_request(record[2], record[7]));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        m_closing = true;
        m_tick_timer->stop();
        log_off();
        m_settings.write("Dialdeck", "State", "");
    }
    event->accept();
}

}  // namespace dialdeck
