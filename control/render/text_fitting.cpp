#include "render/text_fitting.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>

namespace kestrel {

namespace {

constexpr int MIN_CHAR_WIDTH = 4;
const QString ELLIPSIS = QStringLiteral("...");

bool is_narrow(QChar c) {
    return c == u'i' || c == u'I' || c == u'l' || c == u'1' || c == u'.' || c == u',';
}

QString known_family(const QStringList& faces) {
    const QStringList families = QFontDatabase::families();
    for (const QString& face : faces) {
        const QString wanted = face.trimmed();
        if (wanted.isEmpty()) continue;
        for (const QString& family : families)
            if (family.compare(wanted, Qt::CaseInsensitive) == 0) return family;
    }
    return {};
}

bool fits(const QFont& font, const QString& text, int width) {
    return QFontMetricsF(font).horizontalAdvance(text) <= width;
}

// The longest n for which make(n) fits, n in 0..limit; -1 when not even
// make(0) fits. Widths grow with n, so halving finds what dropping one
// character at a time would, in bounded steps.
template <typename Make>
int longest_fitting(const QFont& font, int width, int limit, Make make) {
    if (!fits(font, make(0), width)) return -1;
    int low = 0, high = limit;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (fits(font, make(mid), width))
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

QString what_fits_of_ellipsis(const QFont& font, int width) {
    const int n = longest_fitting(font, width, 2, [](int k) { return ELLIPSIS.left(k); });
    return n < 0 ? QString() : ELLIPSIS.left(n);
}

QString cut_end(const QFont& font, const QString& text, int width) {
    const auto make = [&](int n) {
        if (n > 0 && text.at(n - 1).isHighSurrogate()) --n;
        return text.left(n) + ELLIPSIS;
    };
    const int n = longest_fitting(font, width, text.size() - 1, make);
    return n < 0 ? what_fits_of_ellipsis(font, width) : make(n);
}

QString cut_front(const QFont& font, const QString& text, int width) {
    const auto make = [&](int n) {
        if (n > 0 && text.at(text.size() - n).isLowSurrogate()) --n;
        return ELLIPSIS + text.right(n);
    };
    const int n = longest_fitting(font, width, text.size() - 1, make);
    return n < 0 ? what_fits_of_ellipsis(font, width) : make(n);
}

}  // namespace

int status_char_count(const QString& text, int longest_entry) {
    const int length = static_cast<int>(text.size());
    int count = longest_entry > 0 ? longest_entry : length;
    if (length > count) {
        const auto narrow = std::count_if(text.begin(), text.end(), is_narrow);
        count = length - static_cast<int>(narrow) / 2;
    }
    return count;
}

font_size fit_font_size(int rect_width, int rect_height, int char_count) {
    font_size size;
    size.char_width = std::max(MIN_CHAR_WIDTH, char_count > 0 ? rect_width / char_count : 0);
    size.height = rect_height;
    size.char_width = std::min(size.char_width, size.height * 5 / 11);
    if (size.char_width < size.height / 6) size.height = 6 * size.char_width;
    return size;
}

QFont make_font(const QStringList& faces, font_size size, int weight) {
    QFont font;
    const QString family = known_family(faces);
    if (family.isEmpty()) {
        font = QGuiApplication::font();
        weight = 400;
    } else {
        font.setFamily(family);
    }
    font.setPixelSize(std::max(1, size.height));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    font.setStretch(QFont::Unstretched);
    // Stretch so the average character is as wide as asked.
    // Hinting makes the width grow unevenly with the stretch: one correction
    // from the measured width brings it close.
    const qreal natural = QFontMetricsF(font).averageCharWidth();
    if (natural <= 0 || size.char_width <= 0) return font;
    const int first = std::clamp(qRound(100 * size.char_width / natural), 1, 4000);
    font.setStretch(first);
    const qreal measured = QFontMetricsF(font).averageCharWidth();
    if (measured > 0)
        font.setStretch(std::clamp(qRound(first * size.char_width / measured), 1, 4000));
    return font;
}

fitted_text fit_text(const QString& text, const QRect& rect, const text_style& style) {
    fitted_text out;
    if (text.isEmpty() || rect.isEmpty()) return out;
    out.rect = rect;
    out.flags =
        Qt::TextSingleLine | Qt::AlignVCenter | (style.centred ? Qt::AlignHCenter : Qt::AlignLeft);
    const int count = style.char_count > 0 ? style.char_count : static_cast<int>(text.size());
    font_size size = fit_font_size(rect.width(), rect.height(), count);
    out.font = make_font(style.faces, size, style.weight);
    const int width = rect.width();
    if (fits(out.font, text, width)) {
        out.text = text;
        return out;
    }
    if (style.mode == fit_mode::shrink && size.char_width > MIN_CHAR_WIDTH) {
        // One character width narrower at a time down to 4 pixels; the widest
        // that fits is found by halving, as widths grow with the stretch.
        const auto font_at = [&](int char_width) {
            return make_font(style.faces, {size.height, char_width}, style.weight);
        };
        int low = MIN_CHAR_WIDTH, high = size.char_width - 1;
        if (fits(font_at(low), text, width)) {
            while (low < high) {
                const int mid = low + (high - low + 1) / 2;
                if (fits(font_at(mid), text, width))
                    low = mid;
                else
                    high = mid - 1;
            }
            out.font = font_at(low);
            out.text = text;
            return out;
        }
        out.font = font_at(MIN_CHAR_WIDTH);
    }
    out.text = style.mode == fit_mode::keep_end ? cut_front(out.font, text, width)
                                                : cut_end(out.font, text, width);
    return out;
}

}  // namespace kestrel
