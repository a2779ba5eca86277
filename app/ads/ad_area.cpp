#include "ad_area.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>

namespace dialdeck {

namespace {

// The same bound as a picture fetched from the web.
constexpr qint64 k_max_file_bytes = 4 * 1024 * 1024;

}  // namespace

AdArea::AdArea(QWidget* parent, link_opener opener, const ad_limits& limits)
    : QWidget(parent), m_opener(std::move(opener)), m_limits(limits) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AdArea::next_frame);
}

AdArea::~AdArea() {
    stop();
}

bool AdArea::load(const QString& file) {
    clear();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        m_error = file + ": " + in.errorString();
        return false;
    }
    const QByteArray bytes = in.read(k_max_file_bytes + 1);
    if (bytes.size() > k_max_file_bytes) {
        m_error = file + ": larger than 4 MiB";
        return false;
    }
    if (!load(bytes)) {
        m_error = file + ": " + m_error;
        return false;
    }
    return true;
}

bool AdArea::load(const QByteArray& bytes) {
    clear();
    ad_picture picture = decode_ad_picture(bytes, m_limits);
    if (picture.frames.empty()) {
        m_error = picture.error;
        return false;
    }
    m_picture = std::move(picture);
    resize(m_picture.size);
    return true;
}

bool AdArea::show(const QString& link) {
    stop();
    if (m_picture.frames.empty()) return false;
    m_link = link;
    setCursor(link.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    m_frame = 0;
    if (m_picture.frames.size() > 1) m_timer.start(m_picture.frames[m_frame].delay_ms);
    update();
    return true;
}

void AdArea::stop() {
    m_timer.stop();
}

void AdArea::clear() {
    stop();
    m_picture = {};
    m_frame = 0;
    m_link.clear();
    m_error.clear();
    unsetCursor();
    update();
}

void AdArea::next_frame() {
    if (m_picture.frames.size() < 2) return;
    m_frame = (m_frame + 1) % int(m_picture.frames.size());
    m_timer.start(m_picture.frames[m_frame].delay_ms);
    update();
}

void AdArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Each frame goes onto a fresh background, so the picture starts clean
    // after its last frame and transparent parts show the button colour.
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (!m_picture.frames.empty()) painter.drawImage(0, 0, m_picture.frames[m_frame].image);
}

void AdArea::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void AdArea::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click && !m_link.isEmpty() && m_opener) m_opener(m_link);
}

}  // namespace dialdeck
