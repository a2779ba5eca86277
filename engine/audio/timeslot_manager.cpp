#include "audio/timeslot_manager.h"

#include <time.h>

#include "audio/audio_sizes.h"
#include "audio/rtp_messages.h"
#include "platform/sound/thread_message_queue.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

constexpr int WANTED_RESOLUTION_MS = 1;
// The longest period the timer takes, reported as the top of its range.
constexpr int LONGEST_PERIOD_MS = 1000000;

// The clock's resolution in whole milliseconds, rounded up.
int clock_resolution_ms() {
    timespec res{};
    if (clock_getres(CLOCK_MONOTONIC, &res) != 0) return LONGEST_PERIOD_MS;
    const int64_t ns = int64_t{res.tv_sec} * 1000000000 + res.tv_nsec;
    return static_cast<int>((ns + 999999) / 1000000);
}

}  // namespace

bool timeslot_manager::start_timer(thread_message_queue& rtp_thread) {
    if (m_timer.running()) {
        VXL_LOG(LOG_INFO, "timeslot manager multimedia timer already started.  Not restarting.");
        return true;
    }
    const int resolution = clock_resolution_ms();
    if (resolution > WANTED_RESOLUTION_MS) {
        VXL_LOG(LOG_ERROR,
                "Unable to establish %d ms multimedia timer resolution (range is %d..%d)",
                WANTED_RESOLUTION_MS, resolution, LONGEST_PERIOD_MS);
        return false;
    }
    thread_message_queue* queue = &rtp_thread;
    // A full queue means the RTP thread is behind; the lost tick is not queued twice.
    if (!m_timer.start(TIMER_INTERVAL_MS, [queue] { queue->post({MSG_RTP_TICK, 0, 0}); })) {
        VXL_LOG(LOG_ERROR,
                "timeSetEvent failed.  Unable to start timeslot manager's multimedia timer");
        return false;
    }
    return true;
}

void timeslot_manager::stop_timer() {
    m_timer.stop();
}

bool timeslot_manager::test_timer_resolution() {
    const int resolution = clock_resolution_ms();
    if (resolution > WANTED_RESOLUTION_MS) {
        VXL_LOG(LOG_ERROR, "Test multimedia timer resolution %d failed (range is %d..%d).",
                WANTED_RESOLUTION_MS, resolution, LONGEST_PERIOD_MS);
        return false;
    }
    return true;
}

}  // namespace voxline
