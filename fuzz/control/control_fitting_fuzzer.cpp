// Any text in any rectangle: fitting ends, and what it keeps is no wider
// than the rectangle. Input: width, height, character count and mode bytes,
// then the text in UTF-8.
#include <QApplication>
#include <QFontMetricsF>
#include <cstdint>
#include <cstdlib>

#include "render/text_fitting.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5 || size > 5 + 400) return 0;
    const int width = data[0] * 2, height = data[1] / 2;
    kestrel::text_style style;
    style.char_count = data[2] % 64;
    style.mode = static_cast<kestrel::fit_mode>(data[3] % 3);
    style.centred = data[3] & 4;
    style.weight = 100 * (1 + data[4] % 9);
    style.faces = {data[4] & 16 ? QStringLiteral("DejaVu Sans") : QStringLiteral("nothing")};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 5),
                                           static_cast<qsizetype>(size - 5));
    const QRect rect(data[4] & 32 ? -10 : 3, 7, width, height);
    const kestrel::fitted_text fitted = kestrel::fit_text(text, rect, style);
    if (fitted.text.isEmpty()) return 0;
    if (rect.isEmpty() || fitted.rect != rect) abort();
    if (QFontMetricsF(fitted.font).horizontalAdvance(fitted.text) > width) abort();
    return 0;
}
