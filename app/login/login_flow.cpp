#include "login_flow.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "app_settings.h"
#include "login_dialog.h"
#include "login_settings.h"
#include "settings_keys.h"

namespace dialdeck {

namespace {

constexpr int k_allowed_failures = 3;

bool is_true(const std::string& text) {
    return QString::fromStdString(text).compare("true", Qt::CaseInsensitive) == 0;
}

// The reason may quote the request's address, which carries the record.
QString without_pin(QString reason) {
    const qsizetype at = reason.indexOf("&PIN=");
    if (at >= 0) reason = reason.left(at) + "&PIN=****";
    return reason;
}

pin_result check_pin(app_settings& settings, const login_services& services) {
    auto now = [&](const char* key) { return settings.reread(k_section_dialdeck, key); };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const pin_result result =
        verify_pin(now("State"), now("OwnerKey"), now("PINHost"), now("PINFile"),
                   QString::fromStdString(now("CAFile")), services.fetch);
    QApplication::restoreOverrideCursor();
    return result;
}

// Before the main window shows, the dialog may be the only window: closing it
// must not end a running event loop.
class keep_running_without_windows {
  public:
    keep_running_without_windows() : m_was(QApplication::quitOnLastWindowClosed()) {
        QApplication::setQuitOnLastWindowClosed(false);
    }
    ~keep_running_without_windows() { QApplication::setQuitOnLastWindowClosed(m_was); }

  private:
    bool m_was;
};

}  // namespace

login_outcome run_login(QWidget* parent, app_settings& settings, const login_services& services) {
    if (!parse_login_options(settings.dialdeck("LoginOptions")).show_dialog)
        return login_outcome::no_login;
    const keep_running_without_windows keep_running;
    for (int failures = 0;;) {
        {
            LoginDialog dialog(settings, parent);
            if (dialog.exec() != QDialog::Accepted) return login_outcome::exit_program;
        }
        if (!is_true(settings.dialdeck("PINEnable"))) return login_outcome::logged_in;
        const pin_result result = check_pin(settings, services);
        if (result.verdict == pin_verdict::valid) return login_outcome::logged_in;
        if (result.verdict == pin_verdict::failed)
            std::fprintf(stderr, "dialdeck: PIN check failed: %s\n",
                         qPrintable(without_pin(result.reason)));
        QMessageBox::warning(parent, k_login_caption, "Invalid User Account.");
        settings.write(k_section_dialdeck, "State", "");
        if (++failures == k_allowed_failures) return login_outcome::exit_program;
    }
}

}  // namespace dialdeck
