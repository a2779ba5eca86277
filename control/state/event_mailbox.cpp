#include "event_mailbox.h"

#include <QMetaObject>

namespace kestrel {

event_mailbox::event_mailbox(QObject* receiver, handler on_event)
    : m_receiver(receiver), m_on_event(std::move(on_event)) {}

void event_mailbox::post(sink_event event) {
    // The lock only keeps the receiver alive while the call is queued; the
    // queue itself belongs to Qt, which keeps posts to one receiver in order.
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_receiver == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        m_receiver,
        [self = shared_from_this(), event = std::move(event)]() { self->deliver(event); },
        Qt::QueuedConnection);
}

void event_mailbox::close() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_receiver = nullptr;
}

void event_mailbox::deliver(const sink_event& event) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_receiver == nullptr) {
            return;
        }
    }
    // The handler stays in place after close(), so a handler that closes the
    // mailbox (the session ends inside an event) is not destroyed under itself.
    m_on_event(event);
}

}  // namespace kestrel
