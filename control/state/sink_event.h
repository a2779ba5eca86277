// One engine event as the sink hands it to the GUI thread.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

enum class sink_event_kind {
    connected,
    rejected,
    rollover,
    tone,
    ringing,
    answered,
    disconnected,
    status,
    message,
    generic,
};

struct sink_event {
    sink_event_kind kind = sink_event_kind::connected;
    uint64_t generation = 0;  // of the sink that received it
    int32_t value = 0;        // tone, reason, status, message type or generic event
    int32_t parameter = 0;    // status parameter or generic iParam1
    std::string text;         // address, caller number or message line
};

}  // namespace kestrel
