// The program's steps before and around the main window, each with an
// outcome that main turns into the exit code.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_settings.h"
#include "phone_control.h"

class QWidget;

namespace dialdeck {

enum class option_outcome { run, help, version, bad };

struct program_options {
    option_outcome outcome = option_outcome::run;
    std::string unknown;  // the offending argument for bad
};

program_options parse_program_options(const std::vector<std::string>& arguments);
std::string program_usage();
// "dialdeck 2.0.0.6"
std::string program_version_line();

// The settings, or nothing after the missing-settings message (exit 0).
std::optional<app_settings> load_settings_step(const std::string& folder);

// The control, or nothing after a message naming the library and the
// loader's reason (exit 1).
std::unique_ptr<phone_control> load_control_step(const std::string& program_folder);

// SIGTERM and SIGINT close the window as the Close command does.
void close_on_termination(QWidget* window);

}  // namespace dialdeck
