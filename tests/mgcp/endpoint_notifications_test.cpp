// What the endpoint sends on its own: restarts, local events it was asked
// to report, dialled numbers, digits and its account data; and what the
// answers to those do.
#include <gtest/gtest.h>

#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

// "dialdeck-unit-test-client" cut to 22 characters, line 0.
const std::string NAME = "dialdeck-unit-test-cli/0";

class endpoint_sends : public endpoint_fixture {
  protected:
    // The command's text after its transaction id, e.g. "NTFY <name> ...".
    std::string next_command() {
        std::string text = agent.receive();
        if (text.size() < 5) return text;
        last_id = transaction_of(text);
        return text.substr(0, 5) + text.substr(5 + last_id.size() + 1);
    }
    void request(const std::string& requests) {
        std::string id = std::to_string(++rqnt_id);
        ASSERT_EQ(exchange("RQNT " + id + " aaln/0 MGCP 1.0\r\nX: 1\r\nR: " + requests + "\r\n"),
                  "200 " + id + "\r\n");
    }
    void answer_last(int code) {
        agent.send_to(*control.receiver, std::to_string(code) + " " + last_id + " OK\r\n");
        ASSERT_EQ(endpoint.poll(), 1);
    }
    std::string ntfy(const std::string& observed) {
        return "NTFY " + NAME + " MGCP 1.0\r\nO: " + observed + "\r\n";
    }

    std::string last_id;
    int rqnt_id = 700;
};

TEST_F(endpoint_sends, restarts_and_their_answers) {
    EXPECT_EQ(restart, "RSIP " + transaction_of(restart) + " " + NAME +
                           " MGCP 1.0\r\nRM: restart\r\nRD: 0\r\n");
    const struct {
        int code;
        bool graceful;
        const char* call;
    } cases[] = {{200, false, "OnSuccessfulRSIPResponseReceived(2)"},
                 {403, false, "OnUnsuccessfulRSIPResponseReceived(2,403)"},
                 {200, true, "OnSuccessfulRSIPResponseReceived(0)"},
                 {502, true, "OnUnsuccessfulRSIPResponseReceived(0,502)"}};
    last_id = transaction_of(restart);
    for (const auto& c : cases) {
        if (c.graceful) {
            ASSERT_EQ(endpoint.mgcp_send_rsip_graceful(), MGCP_OK);
            EXPECT_EQ(next_command(), "RSIP " + NAME + " MGCP 1.0\r\nRM: graceful\r\nRD: 0\r\n");
        } else if (&c != &cases[0]) {
            ASSERT_EQ(endpoint.MgcpInit(), MGCP_OK);
            next_command();
        }
        answer_last(c.code);
        EXPECT_EQ(control.calls.back(), c.call);
    }
    control.config_result = -1;  // no call agent: no start
    EXPECT_EQ(endpoint.MgcpInit(), MGCP_FAILED);
    EXPECT_FALSE(endpoint.is_open());
    EXPECT_TRUE(agent.silent());
}

TEST_F(endpoint_sends, local_events_only_when_requested) {
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_NOT_REQUESTED);
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_ON), MGCP_NOT_REQUESTED);
    EXPECT_TRUE(agent.silent());

    request("L/hd(N), L/hu(N), L/oc(N)");
    struct {
        int status;
        const char* event;
    } cases[] = {
        {MGCP_HOOK_OFF, "L/hd"}, {MGCP_HOOK_ON, "L/hu"}, {MGCP_HOOK_OPERATION_COMPLETE, "L/oc"}};
    for (const auto& c : cases) {
        EXPECT_EQ(endpoint.mgcp_notify_hook_status(c.status), MGCP_OK);
        EXPECT_EQ(next_command(), ntfy(c.event));
    }
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(7), MGCP_FAILED);
    request("L/hd(A)");  // requested without N: nothing to send
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_OK);
    EXPECT_TRUE(agent.silent());
}

TEST_F(endpoint_sends, embedded_request_plays_signals_and_replaces_the_list) {
    request("L/hd(E(R(L/hu(N)),S(L/dl)))");
    control.calls.clear();
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_OK);
    EXPECT_TRUE(agent.silent()) << "E alone must not notify";
    EXPECT_EQ(control.calls, std::vector<std::string>({"VCPlayTone(0,1)"}));
    ASSERT_EQ(endpoint.requested_events().size(), 1u);
    EXPECT_EQ(endpoint.request_identifier(), "1");

    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_NOT_REQUESTED);
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_ON), MGCP_OK);
    EXPECT_EQ(next_command(), ntfy("L/hu"));

    request("L/hd(N, E(S(L/bz)))");  // notified and embedded together
    control.calls.clear();
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_OK);
    EXPECT_EQ(next_command(), ntfy("L/hd"));
    EXPECT_EQ(control.calls, std::vector<std::string>({"VCPlayTone(0,3)"}));
    EXPECT_EQ(endpoint.requested_events().size(), 1u) << "no embedded R: keeps the list";
}

TEST_F(endpoint_sends, new_call) {
    struct {
        const char* number;
        const char* caller_number;
        const char* caller_name;
        const char* observed;  // nullptr: refused, nothing sent
    } cases[] = {
        {"5551234", "", "", "D/5551234"},
        {"5551234", "100", "Bob Smith", "D/5551234, L/ci(,100,Bob Smith)"},
        {"0049301234", nullptr, "Alice", "D/0049301234, L/ci(,,Alice)"},
        {"1", "1234567890123456789", "Maximilian Mustermann",
         "D/1, L/ci(,123456789012345,Maximilian Must)"},
        {"", "100", "Bob", nullptr},
        {nullptr, "", "", nullptr},
        {"555 1234", "", "", nullptr},
        {"5551234", "", "Bob (home", nullptr},
    };
    for (const auto& c : cases) {
        int rc = endpoint.mgcp_notify_new_call(c.number, c.caller_number, c.caller_name);
        if (!c.observed) {
            EXPECT_NE(rc, MGCP_OK) << (c.number ? c.number : "null");
            EXPECT_TRUE(agent.silent());
            continue;
        }
        EXPECT_EQ(rc, MGCP_OK);
        EXPECT_EQ(next_command(), ntfy(c.observed));
    }
}

TEST_F(endpoint_sends, digits_are_filtered) {  // and an all-filtered string sends nothing
    EXPECT_EQ(endpoint.mgcp_send_digits("1a*#x-B9,"), MGCP_OK);
    EXPECT_EQ(next_command(), ntfy("D/1a*#B9"));
    EXPECT_EQ(endpoint.mgcp_send_digits("xyz-"), MGCP_OK);
    EXPECT_TRUE(agent.silent());
}

TEST_F(endpoint_sends, dynamic_endpoint_info) {
    struct {
        const char* extension;
        const char* account;
        const char* pin;
        bool encrypted;
        const char* observed;
    } cases[] = {
        {"201", "5551234", "9876", false,
         "Tarn/ext(201), Tarn/acct(5551234,9876), Tarn/ver(2.5.0.0)"},
        {"", "5551234", "9876", true, "Tarn/eacct(5551234,9876), Tarn/ver(2.5.0.0)"},
        {"201", "", "9876", false, "Tarn/ext(201), Tarn/ver(2.5.0.0)"},
        {nullptr, nullptr, nullptr, false, "Tarn/ver(2.5.0.0)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(endpoint.send_dynamic_ep_info(c.extension, c.account, c.pin, c.encrypted),
                  MGCP_OK);
        EXPECT_EQ(next_command(), ntfy(c.observed));
    }
    // Too long for one datagram: refused, not cut.
    std::string account(250, '7');
    EXPECT_NE(endpoint.send_dynamic_ep_info("", account.c_str(), "1", false), MGCP_OK);
    EXPECT_TRUE(agent.silent());
}

}  // namespace
}  // namespace voxline::test
