// MGCP datagrams come from the network: the parser must take any bytes, what
// it accepts must write back to text it can read again, and the endpoint
// must answer anything without harm.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../quiet_home.h"
#include "mgcp/mgcp_codec.h"
#include "mgcp/mgcp_endpoint.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"

namespace voxline::test {
namespace {

int64_t frozen_clock() {
    return 100000;
}

// Plausible answers; a call agent address of 0 keeps everything off the wire.
class quiet_call_control : public mgcp_call_control {
  public:
    int VCGetCallAgentConfig(int, uint32_t* address, uint16_t* port,
                             std::shared_ptr<udp_socket>*) override {
        *address = 0;
        *port = 2727;
        return 0;
    }
    int LiOpenRTPSession(int, mgcp_connection_request* request) override {
        request->local_address = 0x0100007f;
        request->local_port = 3400;
        return 1;
    }
    int LiModifyRTPSession(int, mgcp_connection_request*, int) override { return 1; }
    int VCRelease(int) override { return 1; }
    int VCPlayTone(int, int) override { return 200; }
    void OnSuccessfulRSIPResponseReceived(int) override {}
    void OnUnsuccessfulRSIPResponseReceived(int, int) override {}
    void OnNoResponse(int) override {}
    int OnAuditCommandReceived() override { return 0; }
    void OnAniDnisReceived(int, const char* calling, const char* called) override {
        if (strlen(calling) > MGCP_TEXT_SIZE || (called && strlen(called) > MGCP_TEXT_SIZE))
            abort();
    }
    void OnSuccessfulOnhookResponseReceived() override {}
    void OnTarnwickLdapStatusReceived(int, const char* status) override {
        if (strlen(status) > MGCP_TEXT_SIZE) abort();
    }
    void OnUnsuccessfulExtensionResponseReceived() override {}
    int GetInActiveCallState() override { return 0; }
};

quiet_call_control g_control;
mgcp_endpoint* g_endpoint = nullptr;

}  // namespace
}  // namespace voxline::test

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace voxline;
    using namespace voxline::test;
    make_quiet_home("mgcp_fuzz");
    set_process_client_name("fuzz-client");
    g_endpoint = new mgcp_endpoint(g_control, frozen_clock);
    g_endpoint->MgcpInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace voxline;
    using voxline::test::g_endpoint;
    const char* text = reinterpret_cast<const char*>(data);
    std::unique_ptr<mgcp_message> message = parse_message(text, size);
    if (message && message->kind != MGCP_UNPARSED) {
        if (message->kind != MGCP_RESPONSE && message->transaction_id == 0) abort();
        if (encode_message(*message)) {
            if (message->text[message->text_length] != '\0') abort();
            auto again = parse_message(message->text, static_cast<size_t>(message->text_length));
            if (!again || again->kind != message->kind) abort();
        }
    }
    sockaddr_in call_agent{};  // only the call agent's datagrams reach the endpoint
    call_agent.sin_port = htons(2727);
    g_endpoint->handle_datagram(text, size, call_agent);
    g_endpoint->run_timers();
    return 0;
}
