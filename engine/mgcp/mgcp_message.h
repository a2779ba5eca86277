// The MGCP message record: one command or response as the endpoint holds it,
// with its parameters in the order they were added or read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mgcp/session_description.h"

namespace voxline {

enum mgcp_kind : int {
    MGCP_UNPARSED = 0,  // a received command that failed to parse; answer with response_code
    MGCP_RQNT = 1,
    MGCP_NTFY = 2,
    MGCP_CRCX = 3,
    MGCP_MDCX = 4,
    MGCP_DLCX = 5,
    MGCP_RSIP = 6,
    MGCP_AUEP = 7,
    MGCP_AUCX = 8,
    MGCP_RESPONSE = 9,
};

enum mgcp_parameter_type : int {
    MGCP_PARAM_SIGNALS = 1,             // S:
    MGCP_PARAM_REQUESTED_EVENTS = 2,    // R:
    MGCP_PARAM_MODE = 3,                // M:
    MGCP_PARAM_REQUEST_ID = 4,          // X:
    MGCP_PARAM_CALL_ID = 5,             // C:
    MGCP_PARAM_CONNECTION_ID = 6,       // I:
    MGCP_PARAM_OBSERVED_EVENTS = 7,     // O:
    MGCP_PARAM_REASON_CODE = 8,         // E:
    MGCP_PARAM_F = 9,                   // F:
    MGCP_PARAM_RESPONSE_ACK = 10,       // K:
    MGCP_PARAM_Z2 = 11,                 // Z2:
    MGCP_PARAM_SPECIFIC_ENDPOINT = 12,  // Z:
    MGCP_PARAM_DIGIT_MAP = 13,          // D:
    MGCP_PARAM_CONNECTION_PARAMS = 14,  // P:
    MGCP_PARAM_Q = 15,                  // Q:
    MGCP_PARAM_B = 16,                  // B:
    MGCP_PARAM_N = 17,                  // N:
    MGCP_PARAM_DETECT_EVENTS = 18,      // T:
    MGCP_PARAM_LOCAL_OPTIONS = 19,      // L:
    MGCP_PARAM_LC = 20,                 // LC:
    MGCP_PARAM_RC = 21,                 // RC:
    MGCP_PARAM_RESTART_METHOD = 22,     // RM:
    MGCP_PARAM_RESTART_DELAY = 23,      // RD:
    MGCP_PARAM_SESSION = 24,            // after the blank line
    MGCP_PARAM_RAW = 25,                // copied as is
};

enum mgcp_package : int {
    MGCP_PACKAGE_G = 1,
    MGCP_PACKAGE_D = 2,
    MGCP_PACKAGE_M = 3,
    MGCP_PACKAGE_T = 4,
    MGCP_PACKAGE_L = 5,
    MGCP_PACKAGE_H = 6,
    MGCP_PACKAGE_R = 7,
    MGCP_PACKAGE_N = 8,
    MGCP_PACKAGE_A = 9,
    MGCP_PACKAGE_SCRIPT = 10,
    MGCP_PACKAGE_TARN = 11,
};

// Events of the L package that the endpoint acts on.
enum mgcp_line_event : int {
    MGCP_L_HD = 1,
    MGCP_L_HU = 2,
    MGCP_L_DL = 3,
    MGCP_L_V = 4,
    MGCP_L_E = 5,
    MGCP_L_BZ = 6,
    MGCP_L_RG = 7,
    MGCP_L_PG = 8,
    MGCP_L_CI = 10,
    MGCP_L_HF = 12,
    MGCP_L_Z = 13,
    MGCP_L_OC = 24,
};

// Events of the endpoint's own package.
enum mgcp_tarn_event : int {
    MGCP_TARN_ACCT = 1,
    MGCP_TARN_EACCT = 2,
    MGCP_TARN_EXT = 3,
    MGCP_TARN_LDAP = 4,
    MGCP_TARN_VER = 5,
};

// D package: events 1..10 are the digits 0..9; 0 carries free text.
constexpr int MGCP_D_TEXT = 0;
constexpr int MGCP_D_DIGIT_0 = 1;
constexpr int MGCP_D_A = 13;
constexpr int MGCP_D_D = 16;

enum mgcp_action : uint8_t {
    MGCP_ACTION_NOTIFY = 1,      // N
    MGCP_ACTION_ACCUMULATE = 2,  // A
    MGCP_ACTION_DIGIT_MAP = 4,   // D
    MGCP_ACTION_SWAP = 8,        // S
    MGCP_ACTION_IGNORE = 16,     // I
    MGCP_ACTION_KEEP = 32,       // K
    MGCP_ACTION_EMBEDDED = 64,   // E
};

enum mgcp_restart_method : int {
    MGCP_RESTART_GRACEFUL = 0,
    MGCP_RESTART_FORCED = 1,
    MGCP_RESTART_RESTART = 2,
    MGCP_RESTART_DISCONNECTED = 3,
    MGCP_RESTART_CANCEL_GRACEFUL = 4,
};

constexpr int MGCP_MAX_PARAMETERS = 8;
constexpr int MGCP_MAX_EVENTS = 5;
constexpr int MGCP_MAX_RANGES = 10;
constexpr int MGCP_MAX_CODECS = 3;
constexpr int MGCP_MAX_REQUEST_ID = 127;
constexpr int MGCP_TEXT_SIZE = 255;          // a message and its NUL
constexpr int MGCP_ENDPOINT_NAME_SIZE = 29;  // with its NUL
// Embedded requested-event lists deeper than this fail to read.
constexpr int MGCP_MAX_NESTING = 4;

constexpr uint32_t MGCP_ENDPOINT_ANY = 0x7FFFFFFE;  // "$"
constexpr uint32_t MGCP_ENDPOINT_ALL = 0x7FFFFFFF;  // "*"
constexpr uint32_t MGCP_MAX_TRANSACTION_ID = 1000000000;

struct mgcp_event {
    int package = 0;
    int event = 0;
    bool has_parameter = false;
    std::string parameter;  // inside the parentheses, or the free text of D event 0
};

using mgcp_event_list = std::vector<mgcp_event>;

struct mgcp_requested_event;
using mgcp_requested_event_list = std::vector<mgcp_requested_event>;

struct mgcp_requested_event {
    mgcp_event event;
    uint8_t actions = 0;
    // Present only with the E action; "present but empty" replaces the
    // line's requests with nothing, "absent" leaves them alone.
    bool has_embedded_requests = false;
    mgcp_requested_event_list embedded_requests;
    bool has_embedded_signals = false;
    mgcp_event_list embedded_signals;
};

struct mgcp_range {
    uint32_t lo = 0;
    uint32_t hi = 0;
};

struct mgcp_connection_parameters {
    int32_t packets_sent = 0;      // PS
    int32_t octets_sent = 0;       // OS
    int32_t packets_received = 0;  // PR
    int32_t octets_received = 0;   // OR
    int32_t packets_lost = 0;      // PL
    int32_t jitter = 0;            // JI
    int32_t latency = 0;           // LA
};

enum mgcp_local_option_bit : uint32_t {
    MGCP_LO_PERIOD = 1,
    MGCP_LO_BANDWIDTH = 2,
    MGCP_LO_CODECS = 4,
    MGCP_LO_GAIN = 8,
    MGCP_LO_ECHO = 16,
    MGCP_LO_SILENCE = 32,
};

struct mgcp_local_options {
    uint32_t present = 0;  // mgcp_local_option_bit
    uint32_t period_lo = 0, period_hi = 0;
    uint32_t bandwidth_lo = 0, bandwidth_hi = 0;
    int codec_count = 0;
    uint32_t codecs[MGCP_MAX_CODECS] = {};
    uint32_t gain_control = 0;
    bool echo_cancellation = false;
    bool silence_suppression = false;
};

// One parameter line; which fields matter depends on type.
struct mgcp_parameter {
    mgcp_parameter_type type = MGCP_PARAM_RAW;
    std::string text;                     // X: C: I: Z2: Z: D: and raw text
    uint32_t number = 0;                  // M: mode, E: reason, RM: method, RD: delay
    mgcp_event_list events;               // S: O: T:
    mgcp_requested_event_list requests;   // R:
    std::vector<mgcp_range> ranges;       // K:
    mgcp_connection_parameters counters;  // P:
    mgcp_local_options options;           // L:
    session_description session;          // the body
};

struct mgcp_message {
    int kind = MGCP_UNPARSED;
    char text[MGCP_TEXT_SIZE] = {};
    int text_length = 0;  // without the NUL; 0 until encoded
    char endpoint_name[MGCP_ENDPOINT_NAME_SIZE] = {};
    uint8_t version_major = 0;
    uint8_t version_minor = 0;
    uint32_t transaction_id = 0;
    uint32_t response_code = 0;
    std::vector<std::unique_ptr<mgcp_parameter>> parameters;
    int64_t last_send_time = 0;  // ms of the latest transmission
    uint32_t send_count = 0;

    // First parameter of that type, or nullptr.
    const mgcp_parameter* find(mgcp_parameter_type type) const;
};

std::unique_ptr<mgcp_message> create_message(int kind);

// Appends when fewer than MGCP_MAX_PARAMETERS are held; a further one is
// dropped and false returned.
bool add_parameter(mgcp_message& message, std::unique_ptr<mgcp_parameter> parameter);

// Endpoint number of a received endpoint name: the digits after its first
// "/", MGCP_ENDPOINT_ANY for "$", MGCP_ENDPOINT_ALL for "*". False when the
// name has no "/" or nothing readable after it.
bool endpoint_number(const char* endpoint_name, uint32_t* number);

}  // namespace voxline
