// Skin files come from a folder anyone may write to: whatever the bytes, the
// loader ends with a bounded RGB32 picture or none, never a crash.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "render/skin_loader.h"

namespace {
QTemporaryDir* folder = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString name = QStringLiteral("skin.bmp");
    {
        QFile file(folder->filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    int refused = 0;
    const kestrel::skin_loader loader(nullptr, [&](const QString&) { ++refused; });
    const QImage image = loader.load_image(folder->path() + QLatin1Char('/'), name);
    if (image.isNull()) return 0;
    if (refused) abort();
    if (image.width() > kestrel::SKIN_MAX_SIDE || image.height() > kestrel::SKIN_MAX_SIDE) abort();
    if (image.format() != QImage::Format_RGB32) abort();
    return 0;
}
