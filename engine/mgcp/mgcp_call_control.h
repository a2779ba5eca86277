// The seam between the MGCP endpoint and call control: the endpoint calls
// these on the call thread and reaches call control in no other way.
#pragma once

#include <cstdint>
#include <memory>

namespace voxline {

class udp_socket;

// One CRCX or MDCX as handed to call control. Addresses are IPv4 in network
// byte order (first octet in the lowest byte of memory, as in sockaddr_in).
struct mgcp_connection_request {
    uint32_t local_address = 0;  // filled by LiOpenRTPSession
    uint16_t local_port = 0;     // filled by LiOpenRTPSession
    // Filled by LiOpenRTPSession: the RTP payload type of the vocoder in use,
    // written into the local session description of the CRCX answer.
    uint16_t payload_type = 0;
    uint32_t remote_address = 0;
    uint16_t remote_port = 0;
    bool remote_address_known = false;
    bool remote_port_known = false;
    int mode = 0;  // M: connection mode number
    bool mode_given = false;
};

// LiModifyRTPSession mode values.
constexpr int MGCP_MODIFY_OUTGOING = 0;  // MDCX
constexpr int MGCP_MODIFY_INCOMING = 1;  // CRCX carrying the far end's description

class mgcp_call_control {
  public:
    virtual ~mgcp_call_control() = default;

    // Out: the call agent's address (network order) and port, and the
    // receiver socket bound to the local MGCP port (nullptr: the transport
    // opens its own). 0 on success, -1 aborts MgcpInit.
    virtual int VCGetCallAgentConfig(int endpoint, uint32_t* call_agent_address,
                                     uint16_t* call_agent_port,
                                     std::shared_ptr<udp_socket>* receiver) = 0;
    // Opens the media session; fills local address, port and payload type.
    // 1 opened, 0 failed.
    virtual int LiOpenRTPSession(int endpoint, mgcp_connection_request* request) = 0;
    // Sets the far end; mode MGCP_MODIFY_INCOMING for an incoming call. 1 or 0.
    virtual int LiModifyRTPSession(int endpoint, mgcp_connection_request* request, int mode) = 0;
    // The on-hook action for DLCX. 1 done, 0 failed.
    virtual int VCRelease(int endpoint) = 0;
    // Tone 1..5 (VXL_TONE_*). Always 200.
    virtual int VCPlayTone(int endpoint, int tone) = 0;
    virtual void OnSuccessfulRSIPResponseReceived(int restart_method) = 0;
    virtual void OnUnsuccessfulRSIPResponseReceived(int restart_method, int response_code) = 0;
    // registration: 1 when the abandoned command was the RSIP restart.
    virtual void OnNoResponse(int registration) = 0;
    // 1 when in call or ringing, else 0.
    virtual int OnAuditCommandReceived() = 0;
    // called is nullptr when the call agent gave none.
    virtual void OnAniDnisReceived(int endpoint, const char* calling, const char* called) = 0;
    virtual void OnSuccessfulOnhookResponseReceived() = 0;
    virtual void OnTarnwickLdapStatusReceived(int endpoint, const char* status) = 0;
    virtual void OnUnsuccessfulExtensionResponseReceived() = 0;
    // 1 when in call, else 0.
    virtual int GetInActiveCallState() = 0;
};

}  // namespace voxline
