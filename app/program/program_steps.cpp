#include "program_steps.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QMessageBox>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>

#include "control_loader.h"
#include "main_window.h"

namespace dialdeck {

namespace {

int g_signal_pipe[2] = {-1, -1};

void on_signal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

program_options parse_program_options(const std::vector<std::string>& arguments) {
    program_options options;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            options.outcome = option_outcome::help;
            return options;
        }
        if (argument == "--version") {
            options.outcome = option_outcome::version;
            return options;
        }
        // Qt's own options (-platform, -display ...) are taken by QApplication first.
        options.outcome = option_outcome::bad;
        options.unknown = argument;
        return options;
    }
    return options;
}

std::string program_usage() {
    return "Usage: dialdeck [--help] [--version]\n"
           "The Dialdeck desktop phone.\n\n"
           "Settings are read from config/Config.ini in the application folder:\n"
           "  $DIALDECK_HOME, else the program's folder when it holds config/Config.ini,\n"
           "  else $XDG_CONFIG_HOME/dialdeck (~/.config/dialdeck).\n"
           "The phone control libkestrel.so is taken from $KESTREL_CONTROL, the program's\n"
           "folder, ../lib beside it, or the library path.\n"
           "DIALDECK_URL_LOG=FILE appends web links to FILE instead of opening them.\n";
}

std::string program_version_line() {
    return std::string("dialdeck ") + k_program_version;
}

std::optional<app_settings> load_settings_step(const std::string& folder) {
    auto settings = app_settings::load(folder);
    if (!settings) {
        QMessageBox::critical(
            nullptr,
            QString::fromUtf8(k_config_missing_caption.data(), k_config_missing_caption.size()),
            QString::fromUtf8(k_config_missing_text.data(), k_config_missing_text.size()));
    }
    return settings;
}

std::unique_ptr<phone_control> load_control_step(const std::string& program_folder) {
    const control_load_result loaded = load_control(program_folder);
    if (loaded.control) return std::make_unique<phone_control>(loaded.control);
    const std::string text =
        "The phone control could not be loaded from " + loaded.file + ".\n\n" + loaded.error;
    std::fprintf(stderr, "dialdeck: %s\n", text.c_str());
    QMessageBox::critical(nullptr, "Dialdeck", QString::fromStdString(text));
    return nullptr;
}

void close_on_termination(QWidget* window) {
    if (g_signal_pipe[0] < 0 && ::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char bytes[16];
        while (::read(g_signal_pipe[0], bytes, sizeof bytes) > 0) {
        }
        window->close();
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace dialdeck
