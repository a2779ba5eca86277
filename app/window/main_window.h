// The application's main window: hosts the phone control, frames it with the
// operator's branding, runs the start-up steps, the one-second tick and the
// menus.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "call_clock.h"
#include "dressing.h"
#include "login_flow.h"
#include "phone_control.h"
#include "web_get.h"
#include "window_sink.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace dialdeck {

class AdArea;
class AdRotation;
class contacts_actions;
class app_settings;
class DirectoryClient;

inline constexpr char k_program_version[] = "2.0.0.6";

enum class startup_outcome {
    shown,         // the window is ready to show
    exit_quietly,  // the user or the version check ended it: exit code 0
    exit_failed,   // a broken setting: exit code 1
};
int exit_code_of(startup_outcome outcome);

struct window_message {
    enum class icon { stop, exclamation, information };
    std::string caption;
    std::string text;
    icon kind = icon::information;
    // Start-up messages wait for OK; the rest leave the window running.
    bool wait = true;
};

struct window_services {
    // Shows a message box; the default uses QMessageBox.
    std::function<void(QWidget* parent, const window_message&)> message;
    // The login step; the default is the login dialog and its checks.
    std::function<login_outcome(QWidget* parent, app_settings& settings)> login;
    web_fetcher fetch = web_fetch;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow(app_settings& settings, std::unique_ptr<phone_control> control,
               window_services services = {});
    ~MainWindow() override;

    // The start-up steps in order; the caller shows the window after "shown".
    startup_outcome start();

    phone_control& control() { return *m_control; }
    QLabel* date_label() const { return m_date; }
    QLabel* duration_label() const { return m_duration; }
    QLabel* account_label() const { return m_account; }
    QPushButton* link_button(size_t index) const { return m_links[index]; }
    QPushButton* call_timer_button() const { return m_call_timer_button; }
    AdArea* ad_area() const { return m_ad_area; }
    const std::vector<std::string>& recent_numbers() const { return m_recent; }
    bool flashing() const { return m_flashing; }

  public slots:
    // Timer 102.
    void tick();
    void change_quillon_state(int state);

    void connect_to_server();
    void disconnect_from_server();
    void clear_recent_numbers();
    void start_call_timer();
    void open_setting_link(const char* key);
    void show_country_codes();
    void show_options();
    void show_help();
    void show_about();
    void toggle_always_on_top(bool on);

  signals:
    // After the window has handled a state change of the control.
    void state_changed(int state);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void build_menus();
    bool apply_window_dressing();
    bool apply_button_dressing();
    void set_icons();
    void push_phone_settings();
    void rebuild_recent_menu();
    void log_off();
    void send_keep_alive();
    void message(const std::string& caption, const std::string& text, window_message::icon icon,
                 bool wait);
    std::vector<std::string> stored_record() const;
    bool directory_login() const;

    app_settings& m_settings;
    std::unique_ptr<phone_control> m_control;
    window_services m_services;
    window_sink m_sink;

    QWidget* m_canvas = nullptr;
    AdArea* m_ad_area = nullptr;
    AdRotation* m_ads = nullptr;
    contacts_actions* m_contacts = nullptr;
    QLabel* m_date = nullptr;
    QLabel* m_duration = nullptr;
    QLabel* m_account = nullptr;
    std::array<QPushButton*, 6> m_links{};
    QPushButton* m_call_timer_button = nullptr;

    QMenu* m_file_menu = nullptr;
    QAction* m_connect = nullptr;
    QAction* m_disconnect = nullptr;
    QAction* m_close = nullptr;
    QAction* m_clear_recent = nullptr;
    QAction* m_recent_separator = nullptr;
    std::vector<QAction*> m_recent_actions;
    QAction* m_always_on_top = nullptr;
    QAction* m_tuning = nullptr;
    QAction* m_options = nullptr;
    QAction* m_help = nullptr;
    QAction* m_about = nullptr;
    QAction* m_view_account = nullptr;
    QAction* m_view_balance = nullptr;
    QAction* m_view_rates = nullptr;

    window_dressing m_dressing;
    call_timer m_call_timer;
    idle_limit m_idle;
    bool m_idle_message_shown = false;
    bool m_flashing = false;
    int m_keep_alive_ticks = 0;
    bool m_logged_in = false;
    bool m_closing = false;
    std::vector<std::string> m_recent;
    std::unique_ptr<DirectoryClient> m_presence;
    QTimer* m_tick_timer = nullptr;
};

}  // namespace dialdeck
