// A thread that calls a function every period on absolute CLOCK_MONOTONIC deadlines
// (clock_nanosleep), so that the period does not drift. After a late wake it runs the missed
// ticks back to back, at most k_timer_max_late of them, and skips the rest.
//
// Owner: the object that starts the timer stops it (the destructor stops it too), never from the
// function itself. stop() joins: after it returns the function does not run again. start/stop come
// from the owner's thread; the function runs on the timer thread and must not block (posting a
// message is the use).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace voxline {

constexpr int k_timer_max_late = 10;

class periodic_timer {
  public:
    periodic_timer() = default;
    ~periodic_timer() { stop(); }
    periodic_timer(const periodic_timer&) = delete;
    periodic_timer& operator=(const periodic_timer&) = delete;

    // False when already running, the period is outside 1..1000 ms, or no thread can be made.
    bool start(int period_ms, std::function<void()> tick);
    void stop();
    bool running() const { return m_thread.joinable(); }

  private:
    void run(int64_t period_ns, int64_t first_deadline_ns);

    std::function<void()> m_tick;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace voxline
