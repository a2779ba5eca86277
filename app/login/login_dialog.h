// "Login to Dialdeck": the account number is checked against the prefixes
// and, with directory login, looked up and logged on at the directory; the
// record goes to State. The directory is asked in the background while the
// dialog waits with a busy cursor and its input off.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "account_edits.h"
#include "login_settings.h"

class QDialogButtonBox;
class QLabel;

namespace dialdeck {

class DirectoryClient;
class app_settings;

inline constexpr const char* k_login_caption = "Login to Dialdeck";

class LoginDialog : public QDialog {
    Q_OBJECT
  public:
    explicit LoginDialog(app_settings& settings, QWidget* parent = nullptr);
    ~LoginDialog() override;

    bool waiting() const { return m_step != step::idle; }
    QString message() const;

  public slots:
    void accept() override;
    void reject() override;

  private:
    enum class step { idle, lookup, log_on };

    void on_exchange(int result);
    void on_lookup(int result);
    void on_log_on(int result);
    // Ends a directory login: State gets the record, or "" after a failure.
    void finish(const std::string& record, const char* failure);
    void set_waiting(step next);
    void show_message(const char* text);

    app_settings& m_settings;
    account_edits m_edits;
    QLabel* m_message = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    std::vector<std::string> m_prefixes;
    directory_login m_directory;
    std::unique_ptr<DirectoryClient> m_client;
    step m_step = step::idle;
    std::string m_account;
    std::string m_pin;
    std::string m_record;
};

}  // namespace dialdeck
