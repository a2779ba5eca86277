// Fetches and shows an advertisement picture for the end-to-end tests:
//   ads_probe show URL [CAFILE [PNG]]   -> ok=, frames=, size=, delays=, error=
// PNG: the area's second frame, or its only one, saved as a screenshot.
#include <QApplication>
#include <QEventLoop>
#include <cstdio>
#include <string>

#include "ad_area.h"
#include "ad_rotation.h"

namespace {

using namespace dialdeck;

int show(const QString& picture, const QString& ca_file, const QString& png) {
    AdArea area;
    bool loaded = false;
    QString error;
    QEventLoop loop;
    QObject owner;
    web_ad_fetcher(ca_file)(&owner, picture, [&](web_answer answer) {
        loaded = answer.ok && area.load(answer.body);
        error = answer.ok ? area.last_error() : answer.error;
        loop.quit();
    });
    loop.exec();
    std::string delays;
    if (loaded && area.show(QString())) {
        for (int i = 0; i < area.frame_count(); ++i, area.next_frame())
            delays += (i ? "," : "") + std::to_string(area.frame_interval_ms());
        if (!png.isEmpty()) {
            if (area.frame_count() > 1) area.next_frame();
            area.show();
            if (!area.grab().save(png)) error = "cannot save " + png;
        }
    }
    std::printf("ok=%d\nframes=%d\nsize=%dx%d\ndelays=%s\nerror=%s\n", loaded ? 1 : 0,
                area.frame_count(), loaded ? area.width() : 0, loaded ? area.height() : 0,
                delays.c_str(), error.toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto arg = [&](int i) { return i < argc ? QString::fromLocal8Bit(argv[i]) : QString(); };
    if (arg(1) == "show" && argc >= 3) return show(arg(2), arg(3), arg(4));
    std::fprintf(stderr, "usage: ads_probe show URL [CAFILE [PNG]]\n");
    return 2;
}
