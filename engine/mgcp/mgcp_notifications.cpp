// What the endpoint sends on its own: restarts and notifications.
#include <cstring>
#include <string>

#include "mgcp/mgcp_builders.h"
#include "mgcp/mgcp_endpoint.h"
#include "mgcp/mgcp_events.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

// Texts from the user or the configuration are checked before they go into
// a message, so that a bad one refuses the notification instead of leaving
// its events out.
bool events_writable(const mgcp_event_list& events) {
    char scratch[MGCP_TEXT_SIZE];
    mgcp_text_writer out(scratch, sizeof scratch);
    return write_event_list(events, out) && !out.overflowed();
}

std::string_view bounded(const char* text, size_t max) {
    if (!text) return {};
    return std::string_view(text, strnlen(text, max));
}

bool is_dtmf(char c) {
    return (c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'a' && c <= 'd') ||
           (c >= 'A' && c <= 'D');
}

}  // namespace

int mgcp_endpoint::send_command(int kind, std::unique_ptr<mgcp_parameter> first,
                                std::unique_ptr<mgcp_parameter> second) {
    auto message = create_message(kind);
    memcpy(message->endpoint_name, m_endpoint_name, sizeof m_endpoint_name);
    add_parameter(*message, std::move(first));
    if (second) add_parameter(*message, std::move(second));
    return m_transport.send(std::move(message)) == MGCP_TRANSPORT_OK ? MGCP_OK : MGCP_FAILED;
}

int mgcp_endpoint::send_observed(mgcp_event_list events) {
    if (!events_writable(events)) {
        VXL_LOG(LOG_ERROR, "MGCP notification refused: an event text cannot be sent");
        return MGCP_FAILED;
    }
    return send_command(MGCP_NTFY, observed_events_parameter(std::move(events)));
}

int mgcp_endpoint::send_rsip(int method) {
    return send_command(MGCP_RSIP, restart_method_parameter(method), restart_delay_parameter(0));
}

int mgcp_endpoint::mgcp_send_rsip_graceful() {
    return send_rsip(MGCP_RESTART_GRACEFUL);
}

int mgcp_endpoint::report_local_event(int event) {
    const mgcp_requested_event* found = nullptr;
    for (const mgcp_requested_event& r : m_requests) {
        if (r.event.package == MGCP_PACKAGE_L && r.event.event == event) {
            found = &r;
            break;
        }
    }
    if (!found) return MGCP_NOT_REQUESTED;
    // Playing signals calls into call control, which may change the line's
    // requests; work on a copy.
    mgcp_requested_event request = *found;
    int rc = MGCP_OK;
    if (request.actions & MGCP_ACTION_NOTIFY) rc = send_observed({line_event(event)});
    if (request.actions & MGCP_ACTION_EMBEDDED) {
        play_signals(request.embedded_signals);
        if (request.has_embedded_requests) m_requests = std::move(request.embedded_requests);
    }
    return rc;
}

int mgcp_endpoint::mgcp_notify_hook_status(int status) {
    switch (status) {
        case MGCP_HOOK_OFF:
            return report_local_event(MGCP_L_HD);
        case MGCP_HOOK_ON:
            return report_local_event(MGCP_L_HU);
        case MGCP_HOOK_OPERATION_COMPLETE:
            return report_local_event(MGCP_L_OC);
        default:
            return MGCP_FAILED;
    }
}

int mgcp_endpoint::mgcp_notify_new_call(const char* number, const char* caller_number,
                                        const char* caller_name) {
    std::string_view dialled = bounded(number, MGCP_TEXT_SIZE);
    if (dialled.empty()) return MGCP_FAILED;
    mgcp_event_list events{digit_event(dialled)};
    std::string_view id_number = bounded(caller_number, MGCP_CALLER_ID_MAX);
    std::string_view id_name = bounded(caller_name, MGCP_CALLER_ID_MAX);
    if (!id_number.empty() || !id_name.empty())
        events.push_back(caller_id_event(id_number, id_name));
    return send_observed(std::move(events));
}

int mgcp_endpoint::mgcp_send_digits(const char* digits) {
    std::string filtered;
    for (const char* p = digits; p && *p; ++p)
        if (is_dtmf(*p)) filtered.push_back(*p);
    if (filtered.empty()) return MGCP_OK;
    return send_observed({digit_event(filtered)});
}

int mgcp_endpoint::send_dynamic_ep_info(const char* extension, const char* account, const char* pin,
                                        bool encrypted_account) {
    mgcp_event_list events;
    std::string_view ext = bounded(extension, MGCP_TEXT_SIZE);
    std::string_view acct = bounded(account, MGCP_TEXT_SIZE);
    if (!ext.empty()) events.push_back(tarn_event(MGCP_TARN_EXT, ext));
    if (!acct.empty())
        events.push_back(tarn_pair_event(encrypted_account ? MGCP_TARN_EACCT : MGCP_TARN_ACCT, acct,
                                         bounded(pin, MGCP_TEXT_SIZE)));
    events.push_back(tarn_event(MGCP_TARN_VER, MGCP_CLIENT_VERSION));
    return send_observed(std::move(events));
}

}  // namespace voxline
