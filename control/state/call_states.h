// The control's call and call-manager states, and what the status line and
// the call button show in each call state.
#pragma once

#include <cstdint>

namespace kestrel {

enum call_state : int32_t {
    CALLSTATE_NO_SERVER = 0,
    CALLSTATE_CONNECTING = 1,
    CALLSTATE_IDLE = 2,
    CALLSTATE_DIALING = 3,
    CALLSTATE_CONNECTED = 4,
    CALLSTATE_DISCONNECTING = 5,
    CALLSTATE_INCOMING = 6,
    CALLSTATE_BUSY = 7,
    CALLSTATE_INVALID_NUMBER = 8,
    CALLSTATE_ANSWERING = 9,
};

enum call_manager_state : int32_t {
    CMSTATE_NONE = 0,
    CMSTATE_DISCONNECTED = 1,
    CMSTATE_LOGGING_ON = 2,
    CMSTATE_LOGGED_ON = 3,
    CMSTATE_LOGGING_OFF = 4,
};

// The status-message entry of a call state is its own value; the button
// entry is this. -1 for a value outside the table.
int button_entry_of(int32_t state);

}  // namespace kestrel
