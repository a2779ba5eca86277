// The Options sheet's "Account" page: the remembered account and PIN.
#pragma once

#include <QWidget>

#include "account_edits.h"

class QLabel;

namespace dialdeck {

class app_settings;

class AccountPage : public QWidget {
    Q_OBJECT
  public:
    explicit AccountPage(app_settings& settings, QWidget* parent = nullptr);

    // With the box ticked, remembers the typed account and PIN; unticked,
    // forgets both. False when a value holds a separator or control
    // character (nothing is written then) or the settings file refused it;
    // the page's message line says which.
    bool apply();
    QString message() const;

  private:
    app_settings& m_settings;
    account_edits m_edits;
    QLabel* m_message = nullptr;
};

}  // namespace dialdeck
