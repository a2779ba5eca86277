#include "platform/sound/periodic_timer.h"

#include <time.h>

#include <cerrno>
#include <system_error>

#include "platform/sound/periodic_schedule.h"

namespace voxline {
namespace {

constexpr int64_t k_ns_per_s = 1000000000;

int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * k_ns_per_s + now.tv_nsec;
}

}  // namespace

bool periodic_timer::start(int period_ms, std::function<void()> tick) {
    if (running() || period_ms < 1 || period_ms > 1000 || !tick) return false;
    m_tick = std::move(tick);
    m_stop.store(false);
    try {
        // Deadlines count from the call, so a slow thread start is caught up like a late wake.
        const int64_t period_ns = int64_t{period_ms} * 1000000;
        const int64_t first = monotonic_ns() + period_ns;
        m_thread = std::thread([this, period_ns, first] { run(period_ns, first); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void periodic_timer::stop() {
    if (!m_thread.joinable()) return;
    m_stop.store(true);
    m_thread.join();
}

void periodic_timer::run(int64_t period_ns, int64_t deadline) {
    while (!m_stop.load()) {
        const timespec until{static_cast<time_t>(deadline / k_ns_per_s),
                             static_cast<long>(deadline % k_ns_per_s)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
        const periodic_step step =
            periodic_due(monotonic_ns(), deadline, period_ns, k_timer_max_late);
        for (int i = 0; i < step.ticks && !m_stop.load(); ++i) m_tick();
        deadline = step.next_deadline;
    }
}

}  // namespace voxline
