// Shows advertisement pictures for the end-to-end tests:
//   ads_probe show PICTURE [CAFILE [PNG]]   -> ok=, frames=, size=, delays=, error=
//     (PNG: the area's second frame, or its only one, saved as a screenshot)
//   ads_probe rotate CAFILE ENTRY...         -> entry=I frames=N link=L, once round
// PICTURE is an http(s) URL or a file; ENTRY is "picture,seconds[,link]".
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ad_area.h"
#include "ad_rotation.h"

namespace {

using namespace dialdeck;

QString arg(int argc, char** argv, int i) {
    return i < argc ? QString::fromLocal8Bit(argv[i]) : QString();
}

int show(const QString& picture, const QString& ca_file, const QString& png) {
    AdArea area;
    bool loaded = false;
    QString error;
    if (is_web_picture(picture.toStdString())) {
        QEventLoop loop;
        QObject owner;
        web_ad_fetcher(ca_file)(&owner, picture, [&](web_answer answer) {
            loaded = answer.ok && area.load(answer.body);
            error = answer.ok ? area.last_error() : answer.error;
            loop.quit();
        });
        loop.exec();
    } else {
        loaded = area.load(picture);
        error = area.last_error();
    }
    std::string delays;
    if (loaded && area.show(QString())) {
        for (int i = 0; i < area.frame_count(); ++i) {
            delays += (i ? "," : "") + std::to_string(area.frame_interval_ms());
            area.next_frame();
        }
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

int rotate(const QString& ca_file, const std::vector<std::string>& values) {
    AdArea area;
    AdRotation rotation(ad_entries("", values, QDir::currentPath().toStdString() + "/"), &area,
                        web_ad_fetcher(ca_file));
    const size_t count = rotation.entries().size();
    if (count == 0) return 2;
    std::map<size_t, int> frames;
    std::map<size_t, QString> links;
    size_t advances = 0;
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        int& seen = frames[rotation.index()];
        seen = std::max(seen, area.frame_count());
        if (!area.link().isEmpty()) links[rotation.index()] = area.link();
    });
    size_t last = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (rotation.index() != last) {
            last = rotation.index();
            if (++advances == count) loop.quit();
        }
    });
    // Bounded whatever the entries' times: a day per entry is no test.
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
    watch.start(20);
    rotation.start();
    loop.exec();
    for (size_t i = 0; i < count; ++i) {
        std::printf("entry=%zu frames=%d link=%s\n", i, frames[i], links[i].toUtf8().constData());
    }
    return advances == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = arg(argc, argv, 1);
    if (mode == "show" && argc >= 3) {
        return show(arg(argc, argv, 2), arg(argc, argv, 3), arg(argc, argv, 4));
    }
    if (mode == "rotate" && argc >= 4) {
        return rotate(arg(argc, argv, 2), std::vector<std::string>(argv + 3, argv + argc));
    }
    std::fprintf(stderr, "usage: ads_probe show PICTURE [CAFILE [PNG]] | rotate CAFILE ENTRY...\n");
    return 2;
}
