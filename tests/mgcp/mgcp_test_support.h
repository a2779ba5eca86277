// A fake clock, a call control that records what the endpoint asked, a call agent on loopback.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>

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
        *address = ip("127.0.0.1");
        *port = call_agent_port;
        *out = receiver;
        return record(config_result, __func__, endpoint);
    }
    int LiOpenRTPSession(int endpoint, mgcp_connection_request* request) override {
        request->local_address = ip("10.1.2.3");
        request->local_port = 3400;
        request->payload_type = 18;
        return record(open_result, __func__, endpoint);
    }
    int LiModifyRTPSession(int endpoint, mgcp_connection_request* request, int mode) override {
        last_request = *request;
        return record(modify_result, __func__, endpoint, mode);
    }
    int VCRelease(int endpoint) override { return record(1, __func__, endpoint); }
    int VCPlayTone(int line, int tone) override { return record(200, __func__, line, tone); }
    void OnSuccessfulRSIPResponseReceived(int method) override { record(0, __func__, method); }
    void OnUnsuccessfulRSIPResponseReceived(int method, int code) override {
        record(0, __func__, method, code);
    }
    void OnNoResponse(int registration) override { record(0, __func__, registration); }
    int OnAuditCommandReceived() override { return record(audit_result, __func__); }
    void OnAniDnisReceived(int endpoint, const char* calling, const char* called) override {
        record(0, __func__, endpoint, calling, called);
    }
    void OnSuccessfulOnhookResponseReceived() override { record(0, __func__); }
    void OnTarnwickLdapStatusReceived(int endpoint, const char* status) override {
        record(0, __func__, endpoint, status);
    }
    void OnUnsuccessfulExtensionResponseReceived() override { record(0, __func__); }
    int GetInActiveCallState() override { return record(in_call, __func__); }

  private:
    static std::string text(int value) { return std::to_string(value); }
    static std::string text(const char* value) { return value ? value : "null"; }
    template <typename... Args>
    int record(int result, const char* name, Args... args) {
        std::string line = std::string(name) + "(";
        ((line += text(args) + ","), ...);
        if (line.back() == ',') line.pop_back();
        calls.push_back(line + ")");
        return result;
    }
};

// The call agent on a loopback socket (or, on another address or port, a stranger).
class fake_call_agent {
  public:
    explicit fake_call_agent(const char* address = "127.0.0.1", uint16_t port = 0)
        : m_socket(address, port) {
        EXPECT_EQ(m_socket.listen_socket(0), UDP_OK);
    }
    uint16_t port() const { return bound_port(m_socket); }

    // The next datagram from the endpoint without its trailing NUL, "" after the wait.
    std::string receive(int wait_ms = 1000) {
        char buffer[512];
        int length = sizeof buffer;
        if (m_socket.read_socket_timeout(buffer, &length, nullptr, 0, wait_ms) != UDP_OK) return "";
        EXPECT_EQ(buffer[length - 1], '\0') << "datagram without its trailing NUL";
        return std::string(buffer, static_cast<size_t>(length - 1));
    }
    bool silent() { return receive(50).empty(); }
    void send_to(const udp_socket& endpoint_socket, const std::string& text) {
        sockaddr_in to{AF_INET, htons(bound_port(endpoint_socket)), {ip("127.0.0.1")}, {}};
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
