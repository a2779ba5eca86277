// Only the call agent the endpoint registered with is heard: a stranger's
// commands change nothing and draw no answer, its answers complete nothing,
// and every dropped datagram is logged once per sender per 10 s.
#include <gtest/gtest.h>

#include <sstream>

#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

using stranger = fake_call_agent;

const std::string RINGING = "RQNT 401 aaln/0 MGCP 1.0\r\nX: 9\r\nS: D/4242-1\r\n";
const std::string COMMANDS[] = {
    RINGING,
    "CRCX 402 aaln/0 MGCP 1.0\r\nC: 1\r\nM: sendrecv\r\n",
    "MDCX 403 aaln/0 MGCP 1.0\r\nM: sendrecv\r\n\r\nv=0\r\nc=IN IP4 127.0.0.99\r\nm=audio 4000 "
    "RTP/AVP 0\r\n",
    "DLCX 404 aaln/0 MGCP 1.0\r\nC: 1\r\n",
};

// The messages of the log lines written since offset that contain marker.
std::vector<std::string> logged_since(size_t offset, const std::string& marker) {
    std::vector<std::string> out;
    std::istringstream lines(engine_log().substr(offset));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find(marker) != std::string::npos) out.push_back(line.substr(line.find(']') + 1));
    }
    return out;
}

using sender_check = endpoint_fixture;

TEST_F(sender_check, commands_from_another_host_or_port_change_nothing) {
    // The call agent's port on another host, and the call agent's host on another port.
    const struct {
        const char* address;
        uint16_t port;
    } senders[] = {{"127.0.0.99", agent.port()}, {"127.0.0.1", 0}};
    for (const auto& s : senders) {
        SCOPED_TRACE(s.address);
        stranger other(s.address, s.port);
        for (const std::string& command : COMMANDS) {
            other.send_to(*control.receiver, command);
            EXPECT_EQ(endpoint.poll(), 0) << command;
        }
        EXPECT_TRUE(other.silent());
        EXPECT_TRUE(agent.silent());
    }
    EXPECT_EQ(control.calls, std::vector<std::string>({"VCGetCallAgentConfig(0)"}));
    // The same command from the call agent rings.
    EXPECT_EQ(exchange(RINGING), "200 401\r\n");
    EXPECT_EQ(control.calls.back(), "OnAniDnisReceived(0,4242,1)");
}

TEST_F(sender_check, answers_count_only_from_where_the_command_went) {
    const std::string answer = "200 " + transaction_of(restart) + " OK\r\n";
    stranger other("127.0.0.1", 0);
    other.send_to(*control.receiver, answer);
    EXPECT_EQ(endpoint.poll(), 0);
    EXPECT_EQ(endpoint.transport().pending_count(), 1u);
    EXPECT_EQ(control.calls.size(), 1u);

    agent.send_to(*control.receiver, answer);
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_EQ(endpoint.transport().pending_count(), 0u);
    EXPECT_EQ(control.calls.back().rfind("OnSuccessfulRSIPResponseReceived(", 0), 0u);
}

TEST_F(sender_check, drops_are_logged_once_per_sender_per_ten_seconds_with_a_count) {
    const size_t offset = engine_log().size();
    stranger first("127.0.0.99", 0), second("127.0.0.98", 0);
    const std::string line = "MGCP datagram from unexpected sender ";
    const std::string first_line = line + "127.0.0.99:" + std::to_string(first.port()) + " dropped";
    const std::string second_line =
        line + "127.0.0.98:" + std::to_string(second.port()) + " dropped";
    const std::string oversize(1000, 'x');
    const std::string oversize_line = "Rx datagram longer than 255 bytes dropped";

    auto from_first = [&](int count) {
        for (int i = 0; i < count; ++i) {
            first.send_to(*control.receiver, RINGING);
            endpoint.poll();
        }
    };
    auto oversized_from_agent = [&] {
        agent.send_to(*control.receiver, oversize);
        EXPECT_EQ(endpoint.poll(), 0);
    };

    from_first(3);
    second.send_to(*control.receiver, RINGING);
    endpoint.poll();
    oversized_from_agent();
    oversized_from_agent();
    g_fake_now += 9999;
    from_first(1);
    EXPECT_EQ(logged_since(offset, line), std::vector<std::string>({first_line, second_line}));
    EXPECT_EQ(logged_since(offset, oversize_line), std::vector<std::string>({oversize_line}));

    g_fake_now += 1;  // ten seconds after the first line
    from_first(1);
    oversized_from_agent();
    EXPECT_EQ(logged_since(offset, line),
              std::vector<std::string>({first_line, second_line, first_line + " (3 more since)"}));
    EXPECT_EQ(logged_since(offset, oversize_line),
              std::vector<std::string>({oversize_line, oversize_line + " (1 more since)"}));
}

}  // namespace
}  // namespace voxline::test
