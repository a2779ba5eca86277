// Call control behind the endpoint's callback seam.
#pragma once

#include "mgcp/mgcp_call_control.h"

namespace voxline {

class CTarnwickVXL;
class call_control;

class mgcp_callbacks final : public mgcp_call_control {
  public:
    int VCGetCallAgentConfig(int endpoint, uint32_t* call_agent_address, uint16_t* call_agent_port,
                             std::shared_ptr<udp_socket>* receiver) override;
    int LiOpenRTPSession(int endpoint, mgcp_connection_request* request) override;
    int LiModifyRTPSession(int endpoint, mgcp_connection_request* request, int mode) override;
    int VCRelease(int endpoint) override;
    int VCPlayTone(int endpoint, int tone) override;
    void OnSuccessfulRSIPResponseReceived(int restart_method) override;
    void OnUnsuccessfulRSIPResponseReceived(int restart_method, int response_code) override;
    void OnNoResponse(int registration) override;
    int OnAuditCommandReceived() override;
    void OnAniDnisReceived(int endpoint, const char* calling, const char* called) override;
    void OnSuccessfulOnhookResponseReceived() override;
    void OnTarnwickLdapStatusReceived(int endpoint, const char* status) override;
    void OnUnsuccessfulExtensionResponseReceived() override;
    int GetInActiveCallState() override;
};

// What an unanswered message and the audit watchdog have in common: an
// unanswered registration rolls over, anything else is a lost link.
void handle_lost_call_agent(CTarnwickVXL* engine, call_control* control, bool registration);

}  // namespace voxline
