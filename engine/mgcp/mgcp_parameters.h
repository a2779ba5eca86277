// The parameter table: one row per parameter type with its line name, its
// writer and its reader. A row without a reader or writer is a name the
// endpoint recognises but does not handle.
#pragma once

#include <string_view>

#include "mgcp/mgcp_message.h"
#include "mgcp/mgcp_text.h"

namespace voxline {

struct mgcp_parameter_row;

// Appends the whole line without its line break; false leaves it out.
using mgcp_parameter_writer = bool (*)(const mgcp_parameter_row& row,
                                       const mgcp_parameter& parameter, mgcp_text_writer& out);
// Reads the value (the rest of the line after the name); false = unreadable.
using mgcp_parameter_reader = bool (*)(std::string_view value, mgcp_parameter& parameter);

struct mgcp_parameter_row {
    mgcp_parameter_type type;
    const char* name;  // nullptr for the body and raw text
    mgcp_parameter_writer write;
    mgcp_parameter_reader read;
};

// By line name, in table order (case does not matter); nullptr when unknown.
const mgcp_parameter_row* find_parameter_row(std::string_view name);
const mgcp_parameter_row* find_parameter_row(int type);

}  // namespace voxline
