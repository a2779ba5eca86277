// Shared pieces of the MGCP tests: a fake clock, a call control that records
// what the endpoint asked of it, and a call agent on a loopback socket.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

#include "mgcp/mgcp_call_control.h"
#include "mgcp/mgcp_codec.h"
#include "mgcp/mgcp_endpoint.h"
#include "support/temp_home.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"

namespace voxline::test {

inline int64_t g_fake_now = 1000;
inline int64_t fake_clock() {
    return g_fake_now;
}

inline uint16_t bound_port(const udp_socket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

inline uint32_t ip(const char* dotted) {
    uint32_t address = 0;
    dotted_to_address(dotted, &address);
    return address;
}

inline uint32_t loopback() {
    return ip("127.0.0.1");
}

// Records every call as "Name(arguments)" and answers with the results set here.
class fake_call_control : public mgcp_call_control {
  public:
    std::vector<std::string> calls;
    uint16_t call_agent_port = 0;
    std::shared_ptr<udp_socket> receiver;
    int config_result = 0, open_result = 1, modify_result = 1, audit_result = 0, in_call = 0;
    mgcp_connection_request last_request;

    int VCGetCallAgentConfig(int endpoint, uint32_t* address, uint16_t* port,
                             std::shared_ptr<udp_socket>* out) override {
        record("VCGetCallAgentConfig", endpoint);
        *address = loopback();
        *port = call_agent_port;
        *out = receiver;
        return config_result;
    }
    int LiOpenRTPSession(int endpoint, mgcp_connection_request* request) override {
        record("LiOpenRTPSession", endpoint);
        request->local_address = ip("10.1.2.3");
        request->local_port = 3400;
        request->payload_type = 18;
        return open_result;
    }
    int LiModifyRTPSession(int endpoint, mgcp_connection_request* request, int mode) override {
        record("LiModifyRTPSession", endpoint, mode);
        last_request = *request;
        return modify_result;
    }
    int VCRelease(int endpoint) override { return record("VCRelease", endpoint), 1; }
    int VCPlayTone(int endpoint, int tone) override {
        return record("VCPlayTone", endpoint, tone), 200;
    }
    void OnSuccessfulRSIPResponseReceived(int method) override {
        record("OnSuccessfulRSIPResponseReceived", method);
    }
    void OnUnsuccessfulRSIPResponseReceived(int method, int code) override {
        record("OnUnsuccessfulRSIPResponseReceived", method, code);
    }
    void OnNoResponse(int registration) override { record("OnNoResponse", registration); }
    int OnAuditCommandReceived() override { return record("OnAuditCommandReceived"), audit_result; }
    void OnAniDnisReceived(int endpoint, const char* calling, const char* called) override {
        calls.push_back("OnAniDnisReceived(" + std::to_string(endpoint) + "," + calling + "," +
                        (called ? called : "null") + ")");
    }
    void OnSuccessfulOnhookResponseReceived() override {
        record("OnSuccessfulOnhookResponseReceived");
    }
    void OnTarnwickLdapStatusReceived(int endpoint, const char* status) override {
        calls.push_back("OnTarnwickLdapStatusReceived(" + std::to_string(endpoint) + "," + status +
                        ")");
    }
    void OnUnsuccessfulExtensionResponseReceived() override {
        record("OnUnsuccessfulExtensionResponseReceived");
    }
    int GetInActiveCallState() override { return record("GetInActiveCallState"), in_call; }

  private:
    template <typename... Args>
    void record(const char* name, Args... args) {
        std::string text = std::string(name) + "(";
        bool first = true;
        ((text += (first ? "" : ",") + std::to_string(args), first = false), ...);
        calls.push_back(text + ")");
    }
};

// The far side of the endpoint: a loopback socket that plays the call agent
// (or, on another address or port, a stranger).
class fake_call_agent {
  public:
    explicit fake_call_agent(const char* address = "127.0.0.1", uint16_t port = 0)
        : m_socket(address, port) {
        EXPECT_EQ(m_socket.listen_socket(0), UDP_OK);
    }
    uint16_t port() const { return bound_port(m_socket); }

    // The next datagram from the endpoint, "" after the wait. Checks the
    // trailing NUL every datagram carries.
    std::string receive(int wait_ms = 1000) {
        char buffer[512];
        int length = sizeof buffer;
        sockaddr_in sender{};
        if (m_socket.read_socket_timeout(buffer, &length, &sender, 0, wait_ms) != UDP_OK) return "";
        EXPECT_GT(length, 0);
        EXPECT_EQ(buffer[length - 1], '\0') << "datagram without its trailing NUL";
        return std::string(buffer, static_cast<size_t>(length > 0 ? length - 1 : 0));
    }
    // True when nothing arrives within 50 ms.
    bool silent() { return receive(50).empty(); }
    void send_to(const udp_socket& endpoint_socket, const std::string& text) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = loopback();
        to.sin_port = htons(bound_port(endpoint_socket));
        ASSERT_EQ(m_socket.write_socket_block(text.data(), text.size(), &to), UDP_OK);
    }

  private:
    udp_socket m_socket;
};

// An endpoint started against a fake call agent, with the RSIP restart read.
class endpoint_fixture : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake_now = 1000;
        set_process_client_name("dialdeck-unit-test-client");
        set_process_local_ip("192.168.7.9");
        control.call_agent_port = agent.port();
        control.receiver = std::make_shared<udp_socket>("127.0.0.1", 0);
        ASSERT_EQ(control.receiver->listen_socket(0), UDP_OK);
        ASSERT_EQ(endpoint.MgcpInit(), 0);
        restart = agent.receive();
    }

    // Sends text to the endpoint and lets it read it; returns its answer.
    std::string exchange(const std::string& text) {
        agent.send_to(*control.receiver, text);
        EXPECT_EQ(endpoint.poll(), 1);
        return agent.receive();
    }
    // The transaction id of a command the endpoint sent.
    static std::string transaction_of(const std::string& command) {
        size_t first = command.find(' ');
        return command.substr(first + 1, command.find(' ', first + 1) - first - 1);
    }

    fake_call_control control;
    fake_call_agent agent;
    mgcp_endpoint endpoint{control, fake_clock};
    std::string restart;
};

}  // namespace voxline::test
