// Text form of events: the plain event lists of S:, O: and T:, and the
// requested-event grammar of R: with its actions and embedded requests,
// e.g. "L/hd(N, E(R(L/hu(N)),S(L/dl)))".
#pragma once

#include <string_view>

#include "mgcp/mgcp_message.h"
#include "mgcp/mgcp_text.h"

namespace voxline {

// "<package>/<event>" with "(<parameter>)" when it has one.
bool write_event(const mgcp_event& event, mgcp_text_writer& out);
// Events separated by ", "; false for more than MGCP_MAX_EVENTS or an event
// that cannot be written.
bool write_event_list(const mgcp_event_list& events, mgcp_text_writer& out);
bool write_requested_events(const mgcp_requested_event_list& requests, mgcp_text_writer& out);

// Whole-value readers: the text must hold the list and nothing else.
bool read_event_list(std::string_view text, mgcp_event_list* events);
bool read_requested_events(std::string_view text, mgcp_requested_event_list* requests);

}  // namespace voxline
