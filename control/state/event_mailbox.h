// Carries engine events from the engine's threads to the control's GUI
// thread as queued calls, in the order they were posted. Posting never waits
// for the GUI thread; after close() posts are dropped and queued ones are
// not delivered.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "sink_event.h"

namespace kestrel {

class event_mailbox : public std::enable_shared_from_this<event_mailbox> {
  public:
    using handler = std::function<void(const sink_event&)>;

    // receiver lives on the GUI thread and must outlive close().
    event_mailbox(QObject* receiver, handler on_event);

    void post(sink_event event);  // any thread
    void close();                 // GUI thread

    // A copy of the control's browser mode, read by the engine thread when it
    // answers PlayTone at once.
    std::atomic<bool> browser_mode{true};

  private:
    void deliver(const sink_event& event);

    std::mutex m_lock;
    QObject* m_receiver;  // null once closed
    handler m_on_event;   // GUI thread only
};

}  // namespace kestrel
