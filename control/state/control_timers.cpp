#include "control_timers.h"

#include <QTimer>

namespace kestrel {

qt_control_timers::qt_control_timers() = default;

// The timers are children of m_owner and go with it.
qt_control_timers::~qt_control_timers() = default;

void qt_control_timers::set_timer(int id, int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (timer == nullptr) {
        timer = new QTimer(&m_owner);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, &m_owner, [this, id]() {
            if (m_on_expiry) {
                m_on_expiry(id);
            }
        });
    }
    timer->start(milliseconds < 0 ? 0 : milliseconds);
}

void qt_control_timers::kill_timer(int id) {
    if (auto found = m_timers.find(id); found != m_timers.end()) {
        found->second->stop();
    }
}

}  // namespace kestrel
