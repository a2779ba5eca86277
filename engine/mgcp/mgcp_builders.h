// Builders for the events and parameters the endpoint sends.
#pragma once

#include <memory>
#include <string_view>

#include "mgcp/mgcp_message.h"

namespace voxline {

// L/hd, L/hu or L/oc.
mgcp_event line_event(int event);
// D/<digits>.
mgcp_event digit_event(std::string_view digits);
// L/ci(,<a>,<b>).
mgcp_event caller_id_event(std::string_view a, std::string_view b);
// Tarn/ext(<text>), Tarn/ver(<text>).
mgcp_event tarn_event(int event, std::string_view text);
// Tarn/acct(<a>,<b>) or Tarn/eacct(<a>,<b>).
mgcp_event tarn_pair_event(int event, std::string_view a, std::string_view b);

std::unique_ptr<mgcp_parameter> observed_events_parameter(mgcp_event_list events);
std::unique_ptr<mgcp_parameter> restart_method_parameter(int method);
std::unique_ptr<mgcp_parameter> restart_delay_parameter(uint32_t delay);
std::unique_ptr<mgcp_parameter> connection_id_parameter(std::string_view id);
std::unique_ptr<mgcp_parameter> specific_endpoint_parameter(std::string_view name);
std::unique_ptr<mgcp_parameter> session_parameter(const session_description& session);

}  // namespace voxline
