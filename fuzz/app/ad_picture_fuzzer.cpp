// Advertisement pictures come from files and web servers: whatever the bytes,
// loading ends in a bounded picture or a refusal, never a crash or a hang.
#include <QApplication>
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "ad_area.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    dialdeck::AdArea area;
    const bool loaded = area.load(bytes);
    if (loaded != (area.frame_count() > 0)) abort();
    if (!loaded && area.last_error().isEmpty()) abort();
    if (area.frame_count() > 500) abort();
    if (loaded && !area.show(QString())) abort();
    // Every frame shows for at least the shortest delay.
    for (int i = 0; i < area.frame_count() && area.animating(); ++i) {
        if (area.frame_interval_ms() < 50) abort();
        area.next_frame();
    }
    area.stop();
    return 0;
}
