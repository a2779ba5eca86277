// The start-up login: the login dialog, the directory check and the operator's
// PIN page, repeated until the account is accepted, cancelled or refused thrice.
#pragma once

#include "pin_check.h"

class QWidget;

namespace dialdeck {

class app_settings;

enum class login_outcome {
    no_login,      // no login configured: the main window goes on without one
    logged_in,     // State holds the accepted record
    exit_program,  // cancelled or three failed PIN checks: end with exit code 0
};

struct login_services {
    // The PIN page request; tests may answer it themselves.
    web_fetcher fetch = web_fetch;
};

// Window thread only; waits keep the windows painting.
login_outcome run_login(QWidget* parent, app_settings& settings,
                        const login_services& services = {});

}  // namespace dialdeck
