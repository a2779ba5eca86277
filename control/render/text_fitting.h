// Fitting a text into a layout rectangle: the font from the rectangle and a
// character count, narrower characters and then "..." when it is too wide.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

namespace kestrel {

enum class fit_mode {
    end_ellipsis,  // cut at the end with "..." when too wide
    shrink,        // narrower characters first, then cut at the end
    keep_end,      // cut at the front so the last characters stay visible
};

struct text_style {
    QStringList faces;  // tried in order; none known: the application font at 400
    int weight = 400;   // 100..900
    fit_mode mode = fit_mode::end_ellipsis;
    bool centred = true;  // else starts at the left edge
    int char_count = 0;   // characters the rectangle is sized for; 0: the text's length
};

struct fitted_text {
    QString text;  // empty: draw nothing
    QFont font;
    QRect rect;
    int flags = 0;  // Qt alignment for QPainter::drawText
};

struct font_size {
    int height = 0;
    int char_width = 0;
};

// Characters the status line is sized for: the longest status entry; a
// longer text counts narrow characters as half. No entries: the text's length.
int status_char_count(const QString& text, int longest_entry);

// Height and average character width for a rectangle sized for count characters.
font_size fit_font_size(int rect_width, int rect_height, int char_count);

// The first known face of the list at that pixel height, average character
// width and weight.
QFont make_font(const QStringList& faces, font_size size, int weight);

fitted_text fit_text(const QString& text, const QRect& rect, const text_style& style);

}  // namespace kestrel
