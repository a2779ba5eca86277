// The main window's contacts commands: pick a contact to call, manage the
// list, add a contact, search the directory. A number the user chooses to
// call comes back through call_number().
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QWidget;

namespace dialdeck {

class app_settings;

// What the window does after a command: go on, or end the program with
// k_contacts_exit_code (the contacts colour setting was unusable and
// "Initialization error 102" has been shown).
enum class contacts_outcome { done, end_program };
inline constexpr int k_contacts_exit_code = 1;

class contacts_actions : public QObject {
    Q_OBJECT

  public:
    // The settings object and the window must outlive this object; folder is
    // the application folder that holds anima.xml.
    contacts_actions(QWidget* window, app_settings& settings, std::string folder,
                     QObject* parent = nullptr);
    ~contacts_actions() override;

    const std::string& contacts_file() const { return m_file; }

  public slots:
    contacts_outcome select_to_call();
    contacts_outcome manage();
    contacts_outcome add();
    contacts_outcome search();

  signals:
    void call_number(const QString& number);
    // Sent with k_contacts_exit_code together with contacts_outcome::end_program,
    // for callers that connect the slots to menu actions.
    void end_program(int exit_code);

  private:
    enum class start { list, search };
    contacts_outcome open_window(start how);
    bool dressing_usable();

    QWidget* m_window;
    app_settings& m_settings;
    std::string m_file;
};

}  // namespace dialdeck
