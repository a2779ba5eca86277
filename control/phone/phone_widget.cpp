#include "phone/phone_widget.h"

#include <QPaintEvent>
#include <QPainter>

namespace kestrel {

void phone_widget::paintEvent(QPaintEvent* event) {
    if (!m_paint) return;
    QPainter painter(this);
    m_paint(painter, rect(), event->rect());
}

}  // namespace kestrel
