#include "render/phone_painter.h"

#include <QPainter>

#include "render/text_fitting.h"

namespace kestrel {

namespace {

constexpr int LABEL_WEIGHT = 900;
constexpr int TEXT_WEIGHT = 400;
constexpr int BROWSER_CAPTION_WEIGHT = 600;
constexpr int DISPLAY_CHARS = 20;

bool touches(const QRect& area, const QRect& dirty) {
    return dirty.isNull() || area.intersects(dirty);
}

// Text never reaches outside its rectangle.
void draw_text(QPainter& painter, const QString& text, const QRect& rect, const QColor& colour,
               const text_style& style, const QRect& dirty) {
    if (!touches(rect, dirty)) return;
    const fitted_text fitted = fit_text(text, rect, style);
    if (fitted.text.isEmpty()) return;
    painter.save();
    painter.setClipRect(fitted.rect, Qt::IntersectClip);
    painter.setFont(fitted.font);
    painter.setPen(colour);
    painter.drawText(fitted.rect, fitted.flags, fitted.text);
    painter.restore();
}

void draw_status(QPainter& painter, const phone_picture& picture, const QRect& dirty) {
    const auto& rects = picture.layout->rects;
    text_style label;
    label.faces = picture.fonts.status;
    label.weight = LABEL_WEIGHT;
    draw_text(painter, picture.status_label, to_qrect(rects[RECT_STATUS_LABEL]),
              picture.colours.status, label, dirty);
    text_style status = label;
    status.weight = TEXT_WEIGHT;
    status.char_count = status_char_count(picture.status, picture.longest_status);
    draw_text(painter, picture.status, to_qrect(rects[RECT_STATUS]), picture.colours.status, status,
              dirty);
}

void draw_display(QPainter& painter, const phone_picture& picture, const QRect& dirty) {
    const QRect rect = to_qrect(picture.layout->rects[RECT_DISPLAY]);
    text_style style;
    style.weight = TEXT_WEIGHT;
    if (!picture.custom_message.isEmpty()) {
        style.faces = picture.fonts.status;
        style.mode = fit_mode::shrink;
        draw_text(painter, picture.custom_message, rect, picture.colours.display, style, dirty);
        return;
    }
    style.faces = picture.fonts.display;
    style.mode = fit_mode::keep_end;
    style.centred = false;
    style.char_count = DISPLAY_CHARS;
    draw_text(painter, picture.display_text, rect, picture.colours.display, style, dirty);
}

void draw_caption(QPainter& painter, const phone_picture& picture, const QRect& dirty) {
    const int index = picture.caption_on_hangup ? RECT_HANGUP_BUTTON : RECT_MAIN_BUTTON;
    text_style style;
    style.faces = picture.fonts.button;
    style.weight = picture.browser_mode ? BROWSER_CAPTION_WEIGHT : TEXT_WEIGHT;
    draw_text(painter, picture.caption, caption_area(picture.layout->rects[index]),
              picture.colours.button, style, dirty);
}

void draw_pressed_keys(QPainter& painter, const QRect& bounds, const phone_picture& picture,
                       const QRect& dirty) {
    const int keys = picture.browser_mode ? DRAWN_KEYS : 1;
    for (int i = 0; i < keys; ++i) {
        if (!picture.pressed.test(i)) continue;
        const QRect key = to_qrect(picture.layout->rects[i]);
        if (key.isEmpty() || !touches(key, dirty)) continue;
        if (!picture.down.isNull()) {
            // The down picture is stretched like the background: the key's
            // part of it lies at the same place.
            painter.drawPixmap(key, picture.down, key.translated(-bounds.topLeft()));
            continue;
        }
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 0));
        painter.setBrush(picture.colours.flash);
        // An outlined ellipse covers one pixel more than its rectangle.
        painter.drawEllipse(key.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

void draw_thumb(QPainter& painter, layout_point centre, const phone_picture& picture,
                const QRect& dirty) {
    const QRect thumb = to_qrect(thumb_rect(centre, picture.layout->rects[RECT_THUMB]));
    if (!touches(thumb, dirty)) return;
    const look_colours& c = picture.colours;
    painter.fillRect(thumb, c.slider_body);
    const int right = thumb.left() + thumb.width() - 1;
    const int bottom = thumb.top() + thumb.height() - 1;
    painter.fillRect(thumb.left(), thumb.top(), thumb.width(), 1, c.slider_hilite);
    painter.fillRect(thumb.left(), thumb.top(), 1, thumb.height(), c.slider_hilite);
    painter.fillRect(thumb.left(), bottom, thumb.width(), 1, c.slider_shadow);
    painter.fillRect(right, thumb.top(), 1, thumb.height(), c.slider_shadow);
}

}  // namespace

QRect to_qrect(const layout_rect& r) {
    return r.empty() ? QRect() : QRect(r.left, r.top, r.width(), r.height());
}

QRect caption_area(const layout_rect& button) {
    layout_rect r = button;
    const int dx = button.width() / 4, dy = button.height() / 4;
    r.left += dx, r.right -= dx, r.top += dy, r.bottom -= dy;
    return to_qrect(r);
}

void paint_phone(QPainter& painter, const QRect& bounds, const phone_picture& picture,
                 const QRect& dirty) {
    if (bounds.isEmpty() || !picture.layout) return;
    if (!picture.background.isNull()) {
        const QRect area = dirty.isNull() ? bounds : dirty.intersected(bounds);
        painter.drawPixmap(area, picture.background, area.translated(-bounds.topLeft()));
    }
    draw_status(painter, picture, dirty);
    if (picture.browser_mode) draw_display(painter, picture, dirty);
    draw_caption(painter, picture, dirty);
    draw_pressed_keys(painter, bounds, picture, dirty);
    if (!picture.layout->rects[RECT_THUMB].empty()) {
        draw_thumb(painter, picture.layout->speaker_thumb, picture, dirty);
        draw_thumb(painter, picture.layout->mic_thumb, picture, dirty);
    }
}

}  // namespace kestrel
