// The one-second tick's counters: the call timer, the inactivity limit and
// the texts the window shows for them.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace dialdeck {

// Seconds as CallDurationFormat asks: "HH" at 0-1 gives the hours (at least
// two digits) and the "Call Duration: " prefix, "MM" at 3-4 ":" and minutes,
// "SS" at 6-7 ":" and seconds.
std::string duration_text(std::string_view format, long long seconds);

// "Mon Dec 07, 2026 03:04:05 PM" whatever the user's locale.
std::string clock_text(const std::tm& local);

class call_timer {
  public:
    // offset: seconds not shown in automatic mode; manual: only the button starts it.
    call_timer(int offset = 0, bool manual = false)
        : m_offset(offset < 0 ? 0 : offset), m_manual(manual) {}

    void start() {
        m_running = true;
        m_elapsed = 0;
    }
    void stop() { m_running = false; }
    bool running() const { return m_running; }
    bool manual() const { return m_manual; }
    void set_manual(bool manual) { m_manual = manual; }
    void set_offset(int offset) { m_offset = offset < 0 ? 0 : offset; }

    // A second has passed: the call time to show, or nothing (stopped, or
    // still within the offset).
    std::optional<long long> tick();

  private:
    long long m_elapsed = 0;
    int m_offset;
    bool m_manual;
    bool m_running = false;
};

class idle_limit {
  public:
    // Below one minute the window never logs out by itself.
    explicit idle_limit(int minutes = 0) : m_limit(minutes >= 1 ? minutes * 60LL : 0) {}

    void enable(bool on) {
        m_enabled = on && m_limit > 0;
        m_seconds = 0;
    }
    bool enabled() const { return m_enabled; }
    // A second has passed: true when the limit is reached (the count starts over).
    bool tick();

  private:
    long long m_limit;
    long long m_seconds = 0;
    bool m_enabled = false;
};

}  // namespace dialdeck
