#include "mgcp/mgcp_endpoint.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

mgcp_endpoint::mgcp_endpoint(mgcp_call_control& call_control, mgcp_clock clock)
    : m_call_control(call_control), m_transport(clock ? clock : monotonic_ms) {}

mgcp_endpoint::~mgcp_endpoint() {
    MgcpClose();
}

int mgcp_endpoint::MgcpInit() {
    MgcpClose();
    char client_name[CLIENT_NAME_MAX + 1];
    process_client_name(client_name);
    snprintf(m_endpoint_name, sizeof m_endpoint_name, "%.*s/%d", MGCP_ENDPOINT_ID_MAX, client_name,
             0);

    uint32_t address = 0;
    uint16_t port = 0;
    std::shared_ptr<udp_socket> receiver;
    if (m_call_control.VCGetCallAgentConfig(0, &address, &port, &receiver) != 0) return MGCP_FAILED;
    int rc = m_transport.open(address, port, std::move(receiver));
    if (rc != MGCP_TRANSPORT_OK) return rc;
    return send_rsip(MGCP_RESTART_RESTART);
}

void mgcp_endpoint::MgcpClose() {
    m_transport.close();
    m_requests.clear();
    m_request_id.clear();
}

int mgcp_endpoint::poll() {
    const std::shared_ptr<udp_socket>& socket = m_transport.socket();
    if (!socket) return 0;
    int accepted = 0;
    for (int i = 0; i < MGCP_POLL_BATCH; ++i) {
        // One byte more than a message may have tells an oversized datagram.
        char buffer[MGCP_TEXT_SIZE + 1];
        int length = sizeof buffer;
        sockaddr_in sender{};
        // The call thread reads only when its wait saw the socket readable.
        int rc = socket->nread_socket_nonblock(buffer, &length, &sender);
        if (rc == UDP_EMPTY_DATAGRAM) continue;
        if (rc != UDP_OK) break;
        size_t size = socket->last_truncated() ? sizeof buffer + 1 : static_cast<size_t>(length);
        if (handle_datagram(buffer, size, sender)) ++accepted;
        // The socket may have been closed by a callback (MgcpClose).
        if (!m_transport.socket()) break;
    }
    return accepted;
}

bool mgcp_endpoint::handle_datagram(const char* data, size_t length, const sockaddr_in& sender) {
    mgcp_transport::received in = m_transport.receive(data, length, sender);
    if (in.status != 0) return false;
    if (in.command) answer_command(std::move(in.command));
    if (in.response) response_received(*in.answered_command, *in.response);
    return true;
}

void mgcp_endpoint::run_timers() {
    m_transport.tick(
        [this](std::unique_ptr<mgcp_message> command) { command_abandoned(*command); });
}

int64_t mgcp_endpoint::ms_until_next_timer() const {
    return m_transport.ms_until_next_retransmission();
}

int mgcp_endpoint::send_keepalive() {
    auto response = create_message(MGCP_RESPONSE);
    response->response_code = MGCP_CODE_OK;
    response->transaction_id = 0;
    int rc = m_transport.send_once(*response);
    return rc < 0 ? rc : MGCP_OK;
}

void mgcp_endpoint::response_received(const mgcp_message& command, const mgcp_message& response) {
    int code = static_cast<int>(response.response_code);
    if (command.kind == MGCP_RSIP) {
        const mgcp_parameter* method = command.find(MGCP_PARAM_RESTART_METHOD);
        int m = method ? static_cast<int>(method->number) : MGCP_RESTART_RESTART;
        if (code == MGCP_CODE_OK)
            m_call_control.OnSuccessfulRSIPResponseReceived(m);
        else
            m_call_control.OnUnsuccessfulRSIPResponseReceived(m, code);
        return;
    }
    if (command.kind != MGCP_NTFY) return;
    const mgcp_parameter* observed = command.find(MGCP_PARAM_OBSERVED_EVENTS);
    if (!observed) return;
    for (const mgcp_event& e : observed->events) {
        if (e.package == MGCP_PACKAGE_L && e.event == MGCP_L_HU && code == MGCP_CODE_OK)
            m_call_control.OnSuccessfulOnhookResponseReceived();
        if (e.package == MGCP_PACKAGE_TARN && e.event == MGCP_TARN_EXT &&
            code == MGCP_CODE_EXTENSION_REJECTED)
            m_call_control.OnUnsuccessfulExtensionResponseReceived();
    }
}

void mgcp_endpoint::command_abandoned(const mgcp_message& command) {
    bool registration = false;
    if (command.kind == MGCP_RSIP) {
        const mgcp_parameter* method = command.find(MGCP_PARAM_RESTART_METHOD);
        registration = !method || method->number == MGCP_RESTART_RESTART;
    }
    m_call_control.OnNoResponse(registration ? 1 : 0);
}

}  // namespace voxline
