// The 10 ms clock of the media engine: a periodic timer that posts
// MSG_RTP_TICK to the RTP thread of the current call.
//
// Owner: the audio session; start and stop come from the RTP thread, the
// resolution test from the configuration call.
#pragma once

#include "platform/sound/periodic_timer.h"

namespace voxline {

class thread_message_queue;

class timeslot_manager {
  public:
    // False (and logged) when the timer cannot run.
    bool start_timer(thread_message_queue& rtp_thread);
    void stop_timer();
    bool running() const { return m_timer.running(); }

    // Whether the system clock resolves 1 ms; logged when it does not.
    static bool test_timer_resolution();

  private:
    periodic_timer m_timer;
};

}  // namespace voxline
