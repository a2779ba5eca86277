// dialdeck: the desktop phone with the operator's branding.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app_folder.h"
#include "main_window.h"
#include "program_steps.h"
#include "window_grab.h"

int main(int argc, char** argv) {
    // Help and version need no display, so they are answered before Qt starts.
    std::vector<std::string> early(argv + 1, argv + argc);
    for (const std::string& argument : early) {
        if (argument == "--help" || argument == "-h") {
            std::fputs(dialdeck::program_usage().c_str(), stdout);
            return 0;
        }
        if (argument == "--version") {
            std::puts(dialdeck::program_version_line().c_str());
            return 0;
        }
    }
    QApplication app(argc, argv);
    std::vector<std::string> arguments;
    // What is left once Qt has taken its own options (-platform, -display ...).
    for (const QString& argument : QCoreApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());
    const auto options = dialdeck::parse_program_options(arguments);
    if (options.outcome == dialdeck::option_outcome::bad) {
        std::fprintf(stderr, "dialdeck: unknown argument %s\n%s", options.unknown.c_str(),
                     dialdeck::program_usage().c_str());
        return 2;
    }

    auto settings = dialdeck::load_settings_step(dialdeck::prepared_application_folder());
    if (!settings) return dialdeck::k_config_missing_exit_code;
    auto control =
        dialdeck::load_control_step(QCoreApplication::applicationDirPath().toStdString());
    if (!control) return 1;

    dialdeck::MainWindow window(*settings, std::move(control));
    const auto outcome = window.start();
    if (outcome != dialdeck::startup_outcome::shown) return dialdeck::exit_code_of(outcome);
    dialdeck::close_on_termination(&window);
    dialdeck::grab_when_connected(window);
    dialdeck::trace_states(window);
    window.show();
    dialdeck::trace_event("shown");
    // Typed digits go to the keypad from the start.
    if (QWidget* phone = window.control().raw()->Widget()) phone->setFocus();
    return app.exec();
}
