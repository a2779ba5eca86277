// The MGCP endpoint (one line, number 0): announces itself with RSIP,
// answers the call agent's commands, reports local events it was asked for
// and sends the notifications call control asks for.
//
// The call thread drives it, and nothing else may touch it:
//   MgcpInit() / MgcpClose()        start (sends RSIP restart) and stop
//   poll()                          reads what the receiver holds, without
//                                   waiting (MGCP_POLL_BATCH at most), and
//                                   returns how many datagrams were
//                                   accepted (count as contact)
//   handle_datagram(...)            the same for one datagram read elsewhere
//   run_timers()                    retransmissions; ms_until_next_timer()
//                                   tells how long the thread may sleep
//   send_keepalive()                response 200 with transaction id 0
//   mgcp_notify_new_call(...)       dialled number and caller ID
//   mgcp_notify_hook_status(...)    off-hook, on-hook, operation complete
//   mgcp_send_digits(...)           digits during a call
//   send_dynamic_ep_info(...)       extension, account and PIN (the caller
//                                   scrambles them when asked to)
//   mgcp_send_rsip_graceful()       the logoff
// Every operation returns 0 on success or a negative code.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "mgcp/mgcp_call_control.h"
#include "mgcp/mgcp_message.h"
#include "mgcp/mgcp_transport.h"

namespace voxline {

enum mgcp_response_code : uint32_t {
    MGCP_CODE_OK = 200,
    MGCP_CODE_ALREADY_OFF_HOOK = 401,
    MGCP_CODE_UNKNOWN_ENDPOINT = 500,
    MGCP_CODE_NO_RESOURCES = 502,
    MGCP_CODE_PROTOCOL_ERROR = 510,
    MGCP_CODE_EVENT_NOT_SUPPORTED = 512,
    MGCP_CODE_SIGNAL_NOT_SUPPORTED = 513,
    MGCP_CODE_PACKAGE_NOT_SUPPORTED = 518,
    MGCP_CODE_BAD_VERSION = 528,
    MGCP_CODE_EXTENSION_REJECTED = 515,
};

enum mgcp_hook_status : int {
    MGCP_HOOK_OFF = 1,                 // L/hd
    MGCP_HOOK_ON = 2,                  // L/hu
    MGCP_HOOK_OPERATION_COMPLETE = 3,  // L/oc
};

enum mgcp_endpoint_result : int {
    MGCP_OK = 0,
    MGCP_FAILED = -1,
    MGCP_NOT_REQUESTED = -100,  // the call agent did not ask for that event
};

constexpr const char* MGCP_CLIENT_VERSION = "2.5.0.0";
constexpr int MGCP_CALLER_ID_MAX = 15;
constexpr int MGCP_ENDPOINT_ID_MAX = 22;
// Datagrams read per poll() at most, so a flood cannot hold the call thread.
constexpr int MGCP_POLL_BATCH = 32;

class mgcp_endpoint {
  public:
    explicit mgcp_endpoint(mgcp_call_control& call_control, mgcp_clock clock = nullptr);
    ~mgcp_endpoint();
    mgcp_endpoint(const mgcp_endpoint&) = delete;
    mgcp_endpoint& operator=(const mgcp_endpoint&) = delete;

    int MgcpInit();
    void MgcpClose();
    bool is_open() const { return m_transport.is_open(); }

    int poll();
    // length is the datagram's size as received; above MGCP_TEXT_SIZE, or
    // from anyone but the call agent, the datagram is dropped (data need hold
    // no more than MGCP_TEXT_SIZE bytes). True when it parsed.
    bool handle_datagram(const char* data, size_t length, const sockaddr_in& sender);
    void run_timers();
    int64_t ms_until_next_timer() const;

    int send_keepalive();
    int mgcp_notify_new_call(const char* number, const char* caller_number,
                             const char* caller_name);
    int mgcp_notify_hook_status(int status);
    int mgcp_send_digits(const char* digits);
    int send_dynamic_ep_info(const char* extension, const char* account, const char* pin,
                             bool encrypted_account);
    int mgcp_send_rsip_graceful();

    const char* endpoint_name() const { return m_endpoint_name; }
    const mgcp_requested_event_list& requested_events() const { return m_requests; }
    const std::string& request_identifier() const { return m_request_id; }
    mgcp_transport& transport() { return m_transport; }

  private:
    // Answering (mgcp_answers.cpp).
    void answer_command(std::unique_ptr<mgcp_message> command);
    uint32_t answer_rqnt(const mgcp_message& command);
    // false: no answer at all
    bool answer_crcx(const mgcp_message& command, int endpoint, uint32_t* code,
                     mgcp_message& response);
    uint32_t answer_mdcx(const mgcp_message& command, int endpoint);
    uint32_t answer_ntfy(const mgcp_message& command, int endpoint);
    uint32_t play_signals(const mgcp_event_list& signals);
    uint32_t check_requests(const mgcp_requested_event_list& requests);
    uint32_t take_requests(const mgcp_message& command, const mgcp_parameter* requests);
    void response_received(const mgcp_message& command, const mgcp_message& response);
    void command_abandoned(const mgcp_message& command);

    // Sending (mgcp_notifications.cpp).
    int send_command(int kind, std::unique_ptr<mgcp_parameter> first,
                     std::unique_ptr<mgcp_parameter> second = nullptr);
    int send_observed(mgcp_event_list events);
    int send_rsip(int method);
    int report_local_event(int event);

    mgcp_call_control& m_call_control;
    mgcp_transport m_transport;
    char m_endpoint_name[MGCP_ENDPOINT_NAME_SIZE] = {};
    mgcp_requested_event_list m_requests;
    std::string m_request_id;
};

}  // namespace voxline
