#include "mgcp/mgcp_builders.h"

namespace voxline {

static mgcp_event make_event(int package, int event) {
    mgcp_event e;
    e.package = package;
    e.event = event;
    return e;
}

mgcp_event line_event(int event) {
    return make_event(MGCP_PACKAGE_L, event);
}

mgcp_event digit_event(std::string_view digits) {
    mgcp_event e = make_event(MGCP_PACKAGE_D, MGCP_D_TEXT);
    e.has_parameter = true;
    e.parameter.assign(digits);
    return e;
}

mgcp_event caller_id_event(std::string_view a, std::string_view b) {
    mgcp_event e = make_event(MGCP_PACKAGE_L, MGCP_L_CI);
    e.has_parameter = true;
    e.parameter.reserve(a.size() + b.size() + 2);
    e.parameter.append(",").append(a).append(",").append(b);
    return e;
}

mgcp_event tarn_event(int event, std::string_view text) {
    mgcp_event e = make_event(MGCP_PACKAGE_TARN, event);
    e.has_parameter = true;
    e.parameter.assign(text);
    return e;
}

mgcp_event tarn_pair_event(int event, std::string_view a, std::string_view b) {
    mgcp_event e = make_event(MGCP_PACKAGE_TARN, event);
    e.has_parameter = true;
    e.parameter.reserve(a.size() + b.size() + 1);
    e.parameter.append(a).append(",").append(b);
    return e;
}

static std::unique_ptr<mgcp_parameter> make_parameter(mgcp_parameter_type type) {
    auto p = std::make_unique<mgcp_parameter>();
    p->type = type;
    return p;
}

std::unique_ptr<mgcp_parameter> observed_events_parameter(mgcp_event_list events) {
    auto p = make_parameter(MGCP_PARAM_OBSERVED_EVENTS);
    p->events = std::move(events);
    return p;
}

std::unique_ptr<mgcp_parameter> restart_method_parameter(int method) {
    auto p = make_parameter(MGCP_PARAM_RESTART_METHOD);
    p->number = static_cast<uint32_t>(method);
    return p;
}

std::unique_ptr<mgcp_parameter> restart_delay_parameter(uint32_t delay) {
    auto p = make_parameter(MGCP_PARAM_RESTART_DELAY);
    p->number = delay;
    return p;
}

std::unique_ptr<mgcp_parameter> connection_id_parameter(std::string_view id) {
    auto p = make_parameter(MGCP_PARAM_CONNECTION_ID);
    p->text.assign(id);
    return p;
}

std::unique_ptr<mgcp_parameter> specific_endpoint_parameter(std::string_view name) {
    auto p = make_parameter(MGCP_PARAM_SPECIFIC_ENDPOINT);
    p->text.assign(name);
    return p;
}

std::unique_ptr<mgcp_parameter> session_parameter(const session_description& session) {
    auto p = make_parameter(MGCP_PARAM_SESSION);
    p->session = session;
    return p;
}

}  // namespace voxline
