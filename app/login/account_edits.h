// The account and PIN edits and the remember box, shared by the login dialog
// and the Options sheet's account page.
#pragma once

#include <string>

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;

namespace dialdeck {

class app_settings;

inline constexpr const char* k_remember_text = "Remember my account information on this computer.";
inline constexpr const char* k_message_no_account = "Please enter an account number.";
inline constexpr const char* k_message_invalid = "Invalid account number or PIN.";
inline constexpr const char* k_message_socket = "A socket error has occurred.";
inline constexpr const char* k_message_not_saved = "The account could not be saved in Config.ini.";

struct account_edits {
    QLineEdit* account = nullptr;
    QLabel* pin_label = nullptr;
    QLineEdit* pin = nullptr;
    QCheckBox* remember = nullptr;

    std::string account_text() const;
    std::string pin_text() const;
};

// Adds the rows, prefilled with the remembered account and PIN, shown and
// masked as LoginOptions asks.
account_edits add_account_edits(QFormLayout* form, const app_settings& settings);

// Writes the typed account and PIN as remembered, or clears both; false when
// the settings file refused either.
bool save_remembered(app_settings& settings, const account_edits& edits);

}  // namespace dialdeck
