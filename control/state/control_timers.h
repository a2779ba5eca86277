// The control's two one-shot timers (123 reconnect, 124 soft error). Setting a
// timer that runs re-arms it. Tests stand in a timer service they fire by hand.
#pragma once

#include <QObject>
#include <functional>
#include <map>

class QTimer;

namespace kestrel {

inline constexpr int RECONNECT_TIMER = 123;
inline constexpr int SOFT_ERROR_TIMER = 124;

class control_timers {
  public:
    using expiry = std::function<void(int id)>;
    virtual ~control_timers() = default;
    // The control installs its handler once, before any timer is set.
    virtual void set_expiry(expiry on_expiry) = 0;
    virtual void set_timer(int id, int milliseconds) = 0;
    virtual void kill_timer(int id) = 0;
};

// Single-shot QTimers on the calling (GUI) thread.
class qt_control_timers final : public control_timers {
  public:
    qt_control_timers();
    ~qt_control_timers() override;
    void set_expiry(expiry on_expiry) override { m_on_expiry = std::move(on_expiry); }
    void set_timer(int id, int milliseconds) override;
    void kill_timer(int id) override;

  private:
    QObject m_owner;
    std::map<int, QTimer*> m_timers;
    expiry m_on_expiry;
};

}  // namespace kestrel
