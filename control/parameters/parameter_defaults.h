// Default texts of the parameter table.
#pragma once

namespace kestrel {

inline constexpr char DEFAULT_STATUS_MESSAGES[] =
    "No Server Connection|Connecting...|Idle|Dialing...|Connected|Disconnecting...|"
    "Incoming Call|Number busy|Invalid number|Answering...";

inline constexpr char DEFAULT_BUTTON_MESSAGES[] = "Call|---|Hangup|Answer";

inline constexpr char DEFAULT_ERROR_MESSAGES[] =
    "No server connection|Invalid number|Unknown error|Invalid state|No vocoder support|"
    "Audio unavailable|Timers unavailable|Insufficient sound card|Record device in use|"
    "Playback device in use|Audio error|Audio in format error|Audio out format error|"
    "MMX processor needed|Account Balance Low!|No LDAP connection|Account in use|"
    "IP Address error|Invalid Billing Info|Existing session error|Server refused connection|"
    "No UDP Port available|No Proxy Connection";

inline constexpr char DEFAULT_MISC_MESSAGES[] =
    "Status:|Call from %1|Call from unknown caller|Calling %1|Select Active Network Adapter|"
    "We have detected multiple Network adapters in this machine. Please select the one that "
    "you are currently connected to the Internet with.|OK|LAN: %1|Modem: %1|"
    "Audio device in use|The audio device is currently in use. In order to place or answer a "
    "phone call, you will need to stop the application that is using either the playback or "
    "record device.";

// The registered default; replaces a malformed value.
inline constexpr char LAYOUT_A[] =
    "  0,  81, 72, 43|104,  45, 50, 30|161,  45, 50, 30|218,  45, 50, 30|104,  81, 50, 30|"
    "161,  81, 50, 30|218,  81, 50, 30|104, 117, 50, 30|161, 117, 50, 30|218, 117, 50, 30|"
    "104, 154, 50, 30|161, 154, 50, 30|218, 154, 50, 30|239,   7, 14, 12|253,   7, 14, 12|"
    "  0,   0,  0,  0|107,   6,127, 17|150,  24,111, 11|107,  22, 41, 14| 13, 138, 50, 12|"
    " 15, 155, 50, 12|  0,   0,  5, 12";

// The value the parameter starts with.
inline constexpr char LAYOUT_B[] =
    "  0,  0, 67, 23|104,  45, 50, 30|161,  45, 50, 30|218,  45, 50, 30|104,  81, 50, 30|"
    "161,  81, 50, 30|218,  81, 50, 30|104, 117, 50, 30|161, 117, 50, 30|218, 117, 50, 30|"
    "104, 154, 50, 30|161, 154, 50, 30|218, 154, 50, 30|239,   7, 14, 12|253,   7, 14, 12|"
    "  0,   0,  0,  0|107,   6,127, 17| 68,  4,126, 15|107,  22, 41, 14| 37, 31, 48, 12|"
    "119, 31, 48, 12|  0,  0,  5, 12";

// Indexes into the error list.
inline constexpr int ERROR_SERVER_REFUSED = 20;

}  // namespace kestrel
