// How the endpoint answers each command of the call agent.
#include <cstring>

#include "mgcp/mgcp_builders.h"
#include "mgcp/mgcp_endpoint.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

int tone_of_signal(int event) {
    switch (event) {
        case MGCP_L_DL:
            return 1;  // VXL_TONE_DIALTONE
        case MGCP_L_V:
        case MGCP_L_PG:
            return 2;  // VXL_TONE_ALERTING
        case MGCP_L_BZ:
            return 3;  // VXL_TONE_BUSY
        case MGCP_L_E:
            return 4;  // VXL_TONE_REORDER
        case MGCP_L_Z:
            return 5;  // VXL_TONE_LOW_BALANCE_WARNING_TONE
        default:
            return 0;
    }
}

}  // namespace

uint32_t mgcp_endpoint::play_signals(const mgcp_event_list& signals) {
    for (const mgcp_event& s : signals) {
        if (s.package == MGCP_PACKAGE_L) {
            if (int tone = tone_of_signal(s.event)) {
                m_call_control.VCPlayTone(0, tone);
            } else if (s.event == MGCP_L_CI) {
                std::string calling = s.parameter.substr(0, s.parameter.find(','));
                m_call_control.OnAniDnisReceived(0, calling.c_str(), nullptr);
            } else if (s.event != MGCP_L_HD && s.event != MGCP_L_HU && s.event != MGCP_L_RG) {
                return MGCP_CODE_SIGNAL_NOT_SUPPORTED;
            }
        } else if (s.package == MGCP_PACKAGE_D) {
            bool plain_digit = (s.event >= MGCP_D_DIGIT_0 && s.event <= MGCP_D_DIGIT_0 + 9) ||
                               (s.event >= MGCP_D_A && s.event <= MGCP_D_D);
            if (plain_digit) continue;
            if (s.event != MGCP_D_TEXT) return MGCP_CODE_SIGNAL_NOT_SUPPORTED;
            // "<calling>-<called>" offers an incoming call.
            size_t dash = s.parameter.find('-', 1);
            if (dash == std::string::npos) continue;
            std::string calling = s.parameter.substr(0, dash);
            std::string called = s.parameter.substr(dash + 1);
            m_call_control.OnAniDnisReceived(0, calling.c_str(),
                                             called.empty() ? nullptr : called.c_str());
        } else {
            return MGCP_CODE_PACKAGE_NOT_SUPPORTED;
        }
    }
    return MGCP_CODE_OK;
}

uint32_t mgcp_endpoint::check_requests(const mgcp_requested_event_list& requests) {
    for (const mgcp_requested_event& r : requests) {
        const mgcp_event& e = r.event;
        if (e.package != MGCP_PACKAGE_L) return MGCP_CODE_PACKAGE_NOT_SUPPORTED;
        switch (e.event) {
            case MGCP_L_HD:
                if (m_call_control.GetInActiveCallState() != 0) return MGCP_CODE_ALREADY_OFF_HOOK;
                break;
            case MGCP_L_HU:
            case MGCP_L_V:
            case MGCP_L_PG:
            case MGCP_L_HF:
            case MGCP_L_OC:
                break;
            default:
                return MGCP_CODE_EVENT_NOT_SUPPORTED;
        }
    }
    return MGCP_CODE_OK;
}

// The accepted R: list and its X: replace the line's; without X: the
// request is refused and the line keeps what it had.
uint32_t mgcp_endpoint::take_requests(const mgcp_message& command, const mgcp_parameter* requests) {
    if (!requests) return MGCP_CODE_OK;
    const mgcp_parameter* request_id = command.find(MGCP_PARAM_REQUEST_ID);
    if (!request_id) return MGCP_CODE_PROTOCOL_ERROR;
    m_requests = requests->requests;
    m_request_id = request_id->text;
    return MGCP_CODE_OK;
}

uint32_t mgcp_endpoint::answer_rqnt(const mgcp_message& command) {
    uint32_t code = MGCP_CODE_OK;
    const mgcp_parameter* requests = nullptr;
    for (const auto& p : command.parameters) {
        if (code != MGCP_CODE_OK) break;
        if (p->type == MGCP_PARAM_SIGNALS) code = play_signals(p->events);
        if (p->type == MGCP_PARAM_REQUESTED_EVENTS) {
            code = check_requests(p->requests);
            requests = p.get();
        }
    }
    if (code != MGCP_CODE_OK) return code;
    return take_requests(command, requests);
}

bool mgcp_endpoint::answer_crcx(const mgcp_message& command, int endpoint, uint32_t* code,
                                mgcp_message& response) {
    mgcp_connection_request request;
    const mgcp_parameter* requests = nullptr;
    bool remote = false;
    for (const auto& p : command.parameters) {
        if (*code != MGCP_CODE_OK) break;
        switch (p->type) {
            case MGCP_PARAM_SESSION:
                request.remote_address = session_remote_address(p->session);
                request.remote_port = session_remote_port(p->session);
                if (request.remote_address == 0 || request.remote_port == 0) {
                    *code = MGCP_CODE_UNKNOWN_ENDPOINT;
                    break;
                }
                request.remote_address_known = request.remote_port_known = true;
                remote = true;
                break;
            case MGCP_PARAM_MODE:
                request.mode = static_cast<int>(p->number);
                request.mode_given = true;
                break;
            case MGCP_PARAM_SIGNALS:
                *code = play_signals(p->events);
                break;
            case MGCP_PARAM_REQUESTED_EVENTS:
                *code = check_requests(p->requests);
                requests = p.get();
                break;
            default:
                break;
        }
    }
    if (*code == MGCP_CODE_OK) *code = take_requests(command, requests);
    if (*code != MGCP_CODE_OK) return true;

    if (m_call_control.LiOpenRTPSession(endpoint, &request) == 0) {
        *code = MGCP_CODE_NO_RESOURCES;
        return true;
    }
    if (remote &&
        m_call_control.LiModifyRTPSession(endpoint, &request, MGCP_MODIFY_INCOMING) == 0) {
        VXL_LOG(LOG_ERROR, "LiModifyRTPSession failed; CRCX %u not answered",
                command.transaction_id);
        return false;
    }
    uint32_t local = request.local_address;
    if (local == 0) {
        char dotted[LOCAL_IP_MAX + 1];
        process_local_ip(dotted);
        dotted_to_address(dotted, &local);
    }
    add_parameter(response, session_parameter(build_local_session(local, request.local_port,
                                                                  request.payload_type)));
    return true;
}

uint32_t mgcp_endpoint::answer_mdcx(const mgcp_message& command, int endpoint) {
    mgcp_connection_request request;
    const mgcp_parameter* session = nullptr;
    for (const auto& p : command.parameters) {
        if (p->type == MGCP_PARAM_SESSION) {
            session = p.get();
            break;
        }
        if (p->type == MGCP_PARAM_MODE) {
            request.mode = static_cast<int>(p->number);
            request.mode_given = true;
        }
    }
    if (!session) return MGCP_CODE_UNKNOWN_ENDPOINT;
    request.remote_address = session_remote_address(session->session);
    request.remote_port = session_remote_port(session->session);
    if (request.remote_address == 0 || request.remote_port == 0) return MGCP_CODE_UNKNOWN_ENDPOINT;
    request.remote_address_known = request.remote_port_known = true;
    return m_call_control.LiModifyRTPSession(endpoint, &request, MGCP_MODIFY_OUTGOING) != 0
               ? MGCP_CODE_OK
               : MGCP_CODE_UNKNOWN_ENDPOINT;
}

uint32_t mgcp_endpoint::answer_ntfy(const mgcp_message& command, int endpoint) {
    bool handled = false;
    for (const auto& p : command.parameters) {
        if (p->type != MGCP_PARAM_OBSERVED_EVENTS) continue;
        for (const mgcp_event& e : p->events) {
            if (e.package != MGCP_PACKAGE_TARN) continue;
            m_call_control.OnTarnwickLdapStatusReceived(endpoint, e.parameter.c_str());
            handled = true;
        }
    }
    return handled ? MGCP_CODE_OK : MGCP_CODE_EVENT_NOT_SUPPORTED;
}

void mgcp_endpoint::answer_command(std::unique_ptr<mgcp_message> command) {
    auto response = create_message(MGCP_RESPONSE);
    response->transaction_id = command->transaction_id;
    uint32_t number = 0;
    bool known = endpoint_number(command->endpoint_name, &number);
    int endpoint = static_cast<int>(number);
    uint32_t code = known ? MGCP_CODE_OK : MGCP_CODE_UNKNOWN_ENDPOINT;

    switch (command->kind) {
        case MGCP_UNPARSED:
            code = command->response_code;
            break;
        case MGCP_RQNT:
            if (known) code = answer_rqnt(*command);
            break;
        case MGCP_CRCX:
            if (known && !answer_crcx(*command, endpoint, &code, *response)) return;
            break;
        case MGCP_MDCX:
            if (known) code = answer_mdcx(*command, endpoint);
            break;
        case MGCP_DLCX:
            if (known) m_call_control.VCRelease(endpoint);
            code = MGCP_CODE_OK;
            break;
        case MGCP_AUEP:
            if (!known) break;
            add_parameter(*response, specific_endpoint_parameter(command->endpoint_name));
            add_parameter(*response, connection_id_parameter(
                                         m_call_control.OnAuditCommandReceived() ? "1" : "0"));
            break;
        case MGCP_NTFY:
            if (known) code = answer_ntfy(*command, endpoint);
            break;
        default:  // RSIP and AUCX are not for an endpoint to handle
            code = MGCP_CODE_PROTOCOL_ERROR;
            break;
    }
    response->response_code = code;
    // Only a success carries the answer's parameters.
    if (code != MGCP_CODE_OK) response->parameters.clear();
    m_transport.send(std::move(response));
}

}  // namespace voxline
