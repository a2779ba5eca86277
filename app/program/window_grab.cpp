#include "window_grab.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "main_window.h"

namespace dialdeck {

void grab_when_connected(MainWindow& window) {
    const char* file = std::getenv("DIALDECK_GRAB");
    if (!file || !*file) return;
    const QString path = QString::fromLocal8Bit(file);
    auto* done = new bool(false);
    QObject::connect(
        &window, &MainWindow::state_changed, &window, [&window, path, done](int state) {
            if (*done || state != KESTREL_STATE_CONNECTED) return;
            *done = true;
            // A moment for the control to paint the connected call and the timer to tick.
            QTimer::singleShot(2500, &window, [&window, path] {
                QDir().mkpath(QFileInfo(path).absolutePath());
                const bool saved = window.grab().save(path, "PNG");
                // The duration shown tells scripts that the call timer runs.
                std::fprintf(stderr, "dialdeck: %s %s (%s)\n", saved ? "saved" : "could not save",
                             path.toLocal8Bit().constData(),
                             window.duration_label()->text().toLocal8Bit().constData());
            });
        });
    QObject::connect(&window, &QObject::destroyed, [done] { delete done; });
}

void trace_event(const char* what) {
    const char* on = std::getenv("DIALDECK_TRACE_STATES");
    if (!on || !*on) return;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "dialdeck: %s at %.6f\n", what, now.tv_sec + now.tv_nsec / 1e9);
}

void trace_states(MainWindow& window) {
    const char* on = std::getenv("DIALDECK_TRACE_STATES");
    if (!on || !*on) return;
    QObject::connect(&window, &MainWindow::state_changed, &window,
                     [](int state) { trace_event(("state " + std::to_string(state)).c_str()); });
}

}  // namespace dialdeck
