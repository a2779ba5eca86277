// Messages of a call's RTP thread, posted to its thread_message_queue.
#pragma once

#include <cstdint>

namespace voxline {

enum rtp_message : uint32_t {
    MSG_RTP_TICK = 10000,    // the 10 ms timer: run one tick
    MSG_RTP_ENABLE = 10001,  // enable (or redirect) the stream
    MSG_RTP_QUIT = 10002,    // close the session and end the thread
};

}  // namespace voxline
