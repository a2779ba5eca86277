// Drawing the phone from a description of what it shows: the stretched skin,
// status, number display, main button caption, pressed keys and thumbs.
#pragma once

#include <QPixmap>
#include <QRect>
#include <QString>
#include <bitset>

#include "render/layout.h"
#include "render/render_state.h"

class QPainter;

namespace kestrel {

// Keys that can be drawn pressed: the main button, the twelve keys,
// backspace, clear and the separate Hangup button.
inline constexpr int DRAWN_KEYS = 16;

struct phone_picture {
    const control_layout* layout = nullptr;
    QPixmap background;  // already stretched to the bounds; null: none
    QPixmap down;        // the same for the down bitmap; null: flash ellipses
    look_colours colours;
    look_fonts fonts;

    QString status_label;
    QString status;
    int longest_status = 0;  // characters of the longest status entry
    bool browser_mode = true;
    QString custom_message;
    QString display_text;
    QString caption;
    bool caption_on_hangup = false;   // two-button mode showing Hangup
    std::bitset<DRAWN_KEYS> pressed;  // by the mouse or held on the keyboard
};

// The text area of a button: a quarter of its width off each side and a
// quarter of its height off the top and bottom.
QRect caption_area(const layout_rect& button);

QRect to_qrect(const layout_rect& r);

// Draws over bounds; parts outside dirty (when not null) are skipped. An
// empty bounds draws nothing.
void paint_phone(QPainter& painter, const QRect& bounds, const phone_picture& picture,
                 const QRect& dirty = {});

}  // namespace kestrel
