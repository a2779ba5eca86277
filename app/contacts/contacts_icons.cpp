#include "contacts_icons.h"

#include <QBitmap>
#include <QPainter>

namespace dialdeck {

namespace {

// A head and shoulders in the image's colour.
void draw_person(QPainter& painter, int left, const QColor& colour) {
    painter.setPen(QPen(colour.darker(160), 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRect(left + 8, 1, 8, 7));
    painter.drawRoundedRect(QRect(left + 4, 9, 16, 7), 3, 3);
}

}  // namespace

QPixmap contact_icon_strip() {
    QPixmap strip(2 * k_contact_icon_width, k_contact_icon_height);
    strip.fill(Qt::white);
    {
        QPainter painter(&strip);
        painter.setRenderHint(QPainter::Antialiasing, false);
        draw_person(painter, 0, QColor(40, 170, 60));
        draw_person(painter, k_contact_icon_width, QColor(150, 150, 150));
    }
    strip.setMask(strip.createMaskFromColor(Qt::white));
    return strip;
}

QIcon contact_icon(int index) {
    static const QPixmap strip = contact_icon_strip();
    return QIcon(
        strip.copy(index * k_contact_icon_width, 0, k_contact_icon_width, k_contact_icon_height));
}

}  // namespace dialdeck
