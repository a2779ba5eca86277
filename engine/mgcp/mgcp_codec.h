// Writing a message record to its wire text and reading received text back
// into a record.
#pragma once

#include <cstddef>
#include <memory>

#include "mgcp/mgcp_message.h"

namespace voxline {

// Writes the text of a command (transaction id already assigned) or a
// response into message.text. A parameter whose writer fails is left out;
// text that would not fit the buffer fails the whole message (false, empty
// text) rather than sending a cut one.
bool encode_message(mgcp_message& message);

// Reads at most MGCP_TEXT_SIZE bytes of a datagram; the text ends at its
// first NUL or after its last byte. Returns nothing when the first token is
// neither a response code nor a known verb; a command that cannot be read
// comes back as kind MGCP_UNPARSED with the code to answer (510 or 528).
// A response keeps its kind and drops parameter lines it cannot read.
std::unique_ptr<mgcp_message> parse_message(const char* data, size_t length);

}  // namespace voxline
