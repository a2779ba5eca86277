// kestrel-host: holds the phone control in a window and drives it by text
// lines on standard input, for tests and people.
#include <QApplication>
#include <cstdio>

#include "control_loader.h"
#include "host_options.h"
#include "host_session.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kestrel_host::host_options options;
    std::string option_error;
    if (!kestrel_host::parse_options(args, options, option_error)) {
        std::fprintf(stderr, "kestrel-host: %s\n%s", option_error.c_str(), kestrel_host::k_usage);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrel-host");
    QApplication::setApplicationVersion(KESTREL_HOST_VERSION);
    // The control closes its window at the end of a session; the host decides
    // when to leave.
    QApplication::setQuitOnLastWindowClosed(false);

    QString error;
    IActiveXPhone* control =
        kestrel_host::load_control(QString::fromStdString(options.control), error);
    if (!control) {
        std::fprintf(stderr, "kestrel-host: no control: %s\n", qPrintable(error));
        return 1;
    }
    kestrel_host::host_session session(control, options);
    if (!session.start(error)) {
        std::fprintf(stderr, "kestrel-host: %s\n", qPrintable(error));
        return 2;
    }
    return app.exec();
}
