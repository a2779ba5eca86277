// The name tables of the MGCP codec: packages and their events, connection
// modes, restart methods and the letters of requested-event actions.
#pragma once

#include <cstdint>
#include <string_view>

#include "mgcp/mgcp_message.h"

namespace voxline {

struct mgcp_package_row;

// Fills event from the text after "<package>/" (parameter excluded); false
// when the package does not know it.
using mgcp_event_reader = bool (*)(const mgcp_package_row& row, std::string_view name,
                                   mgcp_event& event);
// Appends the event name (no package, no parameter); false when unknown.
using mgcp_event_writer = bool (*)(const mgcp_package_row& row, const mgcp_event& event,
                                   mgcp_text_writer& out);

struct mgcp_package_row {
    int number;
    const char* name;
    const char* const* event_names;  // index = event number - 1
    int event_count;
    mgcp_event_reader read;   // nullptr: recognised, no codec
    mgcp_event_writer write;  // nullptr: recognised, no codec
    // Events whose parenthesised parameter is kept when read.
    bool (*keeps_parameter)(int event);
};

const mgcp_package_row* find_package(int number);
const mgcp_package_row* find_package(std::string_view name);

struct mgcp_name_row {
    int number;
    const char* name;
};

// Connection modes (M:).
const char* mode_name(int mode);  // nullptr outside the table
bool mode_number(std::string_view name, int* mode);

// Restart methods (RM:); an unknown number is named "invalid-restart-value".
const char* restart_method_name(int method);
bool restart_method_number(std::string_view name, int* method);

struct mgcp_action_row {
    uint8_t bit;
    char letter;
};
// In writing order.
extern const mgcp_action_row mgcp_actions[7];

// The verb of a command kind with its trailing blank, nullptr for others.
const char* verb_text(int kind);

}  // namespace voxline
