// The endpoint's answers, what it sends on its own, and that only its own call agent is heard.
#include <tuple>

#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

const std::string RQNT = "RQNT 300 aaln/0 MGCP 1.0\r\n", CRCX = "CRCX 300 aaln/0 MGCP 1.0\r\n",
                  MDCX = "MDCX 300 aaln/0 MGCP 1.0\r\n", OK = "200 300\r\n",
                  SDP = "\r\nv=0\r\nc=IN IP4 10.1.2.3\r\nm=audio 3400 RTP/AVP 18\r\n",
                  FAR = "\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n";
std::string code(int value) {
    return std::to_string(value) + " 300\r\n";
}

const struct {
    std::string command;
    std::string answer;              // the whole answer text
    std::vector<std::string> calls;  // call-control calls made while answering
    int in_call = 0;
} answer_cases[] = {
    // RQNT signals
    {RQNT + "S: L/dl\r\n", OK, {"VCPlayTone(0,1)"}},
    {RQNT + "S: L/v, L/pg, L/bz, L/e, L/z\r\n",
     OK,
     {"VCPlayTone(0,2)", "VCPlayTone(0,2)", "VCPlayTone(0,3)", "VCPlayTone(0,4)",
      "VCPlayTone(0,5)"}},
    {RQNT + "S: L/hd, L/hu, L/rg\r\n", OK, {}},
    {RQNT + "S: L/dl, L/wt, L/bz\r\n", code(513), {"VCPlayTone(0,1)"}},
    {RQNT + "S: L/ci(5551234,Alice)\r\n", OK, {"OnAniDnisReceived(0,5551234,null)"}},
    {RQNT + "S: D/5, D/A\r\n", OK, {}},
    {RQNT + "S: D/123-456\r\n", OK, {"OnAniDnisReceived(0,123,456)"}},
    {RQNT + "S: D/123-\r\n", OK, {"OnAniDnisReceived(0,123,null)"}},
    {RQNT + "S: D/-123\r\n", OK, {}},
    {RQNT + "S: D/*\r\n", code(513), {}},
    {RQNT + "S: G/rt\r\n", code(518), {}},
    // RQNT requested events
    {RQNT + "X: 1\r\nR: L/hd(N)\r\n", OK, {"GetInActiveCallState()"}},
    {RQNT + "X: 1\r\nR: L/hd(N)\r\n", code(401), {"GetInActiveCallState()"}, 1},
    {RQNT + "R: L/hu(N)\r\n", code(510), {}},
    {RQNT + "R: L/hu, L/v, L/pg, L/hf, L/oc\r\nX: 2\r\n", OK, {}},
    {RQNT + "X: 1\r\nR: L/dl(N)\r\n", code(512), {}},
    {RQNT + "X: 1\r\nR: D/[0-9#*T](D)\r\n", code(518), {}},
    {RQNT + "S: G/rt\r\nS: L/dl\r\n", code(518), {}},
    {RQNT + "D: (xx)\r\nC: 9\r\n", OK, {}},
    {"RQNT 300 aaln MGCP 1.0\r\nS: L/dl\r\n", code(500), {}},
    // parse failures
    {"RQNT 300 aaln/0 MGCP 0.1\r\nS: L/dl\r\n", code(528), {}},
    {"RSIP 300 ca/0 MGCP 1.0\r\nRM: restart\r\n", code(510), {}},
    {"AUCX 300 aaln/0 MGCP 1.0\r\nI: 1\r\n", code(510), {}},
    // CRCX
    {CRCX + "C: 1\r\nM: recvonly\r\n", OK + SDP, {"LiOpenRTPSession(0)"}},
    {CRCX + "C: 1\r\n" + FAR, OK + SDP, {"LiOpenRTPSession(0)", "LiModifyRTPSession(0,1)"}},
    {CRCX + "\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=image 4002 udptl t38\r\n", code(500), {}},
    {CRCX + "\r\nv=0\r\nc=IN IP4 0.0.0.0\r\nm=audio 4000 RTP/AVP 0\r\n", code(500), {}},
    {CRCX + "S: L/v\r\nR: L/hu\r\nX: 7\r\n", OK + SDP, {"VCPlayTone(0,2)", "LiOpenRTPSession(0)"}},
    {CRCX + "R: L/hu\r\n", code(510), {}},
    // MDCX
    {MDCX + "M: sendrecv\r\n" + FAR, OK, {"LiModifyRTPSession(0,0)"}},
    {MDCX + "M: sendrecv\r\n", code(500), {}},
    {MDCX + "S: G/rt\r\n", code(500), {}},
    // DLCX, AUEP, NTFY
    {"DLCX 300 aaln/0 MGCP 1.0\r\nC: 1\r\n", OK, {"VCRelease(0)"}},
    {"DLCX 300 aaln MGCP 1.0\r\n", OK, {}},
    {"AUEP 300 x/0 MGCP 1.0\r\n", "200 300\r\nZ: x/0\r\nI: 0\r\n", {"OnAuditCommandReceived()"}},
    {"AUEP 300 x MGCP 1.0\r\n", code(500), {}},
    {"NTFY 300 aaln/0 MGCP 1.0\r\nO: Tarn/ldap(1 found)\r\n",
     OK,
     {"OnTarnwickLdapStatusReceived(0,1 found)"}},
    {"NTFY 300 aaln/0 MGCP 1.0\r\nO: L/hd\r\n", code(512), {}},
};

using endpoint_answers = endpoint_fixture;

TEST_F(endpoint_answers, each_command_gets_its_answer_and_calls) {
    for (const auto& c : answer_cases) {
        SCOPED_TRACE(c.command);
        control.in_call = c.in_call;
        control.calls.clear();
        g_fake_now += 6001;  // past the cached answer to the previous case's transaction
        EXPECT_EQ(exchange(c.command), c.answer);
        EXPECT_EQ(control.calls, c.calls);
    }
}

TEST_F(endpoint_answers, far_end_and_mode_handed_on_refused_sessions_and_audit_with_a_connection) {
    exchange("CRCX 310 aaln/0 MGCP 1.0\r\nM: recvonly\r\n" + FAR);
    const mgcp_connection_request& r = control.last_request;
    EXPECT_EQ(std::tuple(r.remote_address, r.remote_port, r.mode_given, r.mode),
              std::tuple(ip("10.0.0.5"), 4000, true, 2));

    control.open_result = 0;
    EXPECT_EQ(exchange("CRCX 311 aaln/0 MGCP 1.0\r\n"), "502 311\r\n");
    control.open_result = 1;
    control.modify_result = 0;
    EXPECT_EQ(exchange("MDCX 313 aaln/0 MGCP 1.0\r\n" + FAR), "500 313\r\n");
    agent.send_to(*control.receiver, "CRCX 312 aaln/0 MGCP 1.0\r\n" + FAR);
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_TRUE(agent.silent()) << "a CRCX whose far end was refused is left unanswered";
    control.audit_result = 1;
    EXPECT_EQ(exchange("AUEP 314 dialdeck/0@host MGCP 1.0\r\n"),
              "200 314\r\nZ: dialdeck/0@host\r\nI: 1\r\n");
}

TEST_F(endpoint_answers, accepted_requests_replace_the_stored_ones_and_refused_keep_them) {
    const auto stored = [&] {
        return std::pair(endpoint.requested_events().size(), endpoint.request_identifier());
    };
    exchange(RQNT + "X: a1\r\nR: L/hd(N), L/hu(N)\r\n");
    EXPECT_EQ(stored(), std::pair(size_t{2}, std::string("a1")));
    EXPECT_EQ(exchange("RQNT 320 aaln/0 MGCP 1.0\r\nR: L/oc\r\n"), "510 320\r\n");
    EXPECT_EQ(stored(), std::pair(size_t{2}, std::string("a1")));
    exchange("RQNT 321 aaln/0 MGCP 1.0\r\nS: L/dl\r\n");
    EXPECT_EQ(stored().first, 2u) << "an RQNT without R: changed them";
    exchange("RQNT 322 aaln/0 MGCP 1.0\r\nX: a2\r\nR:\r\n");
    EXPECT_EQ(stored(), std::pair(size_t{0}, std::string("a2")));
}

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
    last_id = transaction_of(restart);  // its 200 is walked by sender_check
    answer_last(403);
    EXPECT_EQ(control.calls.back(), "OnUnsuccessfulRSIPResponseReceived(2,403)");
    ASSERT_EQ(endpoint.mgcp_send_rsip_graceful(), MGCP_OK);
    EXPECT_EQ(next_command(), "RSIP " + NAME + " MGCP 1.0\r\nRM: graceful\r\nRD: 0\r\n");
    answer_last(200);
    EXPECT_EQ(control.calls.back(), "OnSuccessfulRSIPResponseReceived(0)");
    control.config_result = -1;  // no call agent: no start
    EXPECT_EQ(endpoint.MgcpInit(), MGCP_FAILED);
    EXPECT_FALSE(endpoint.is_open());
    EXPECT_TRUE(agent.silent());
}

TEST_F(endpoint_sends, local_events_only_when_requested_and_embedded_requests) {
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_NOT_REQUESTED);
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_ON), MGCP_NOT_REQUESTED);
    request("L/hd(N), L/hu(N), L/oc(N)");
    for (const auto& [status, event] : {std::pair{MGCP_HOOK_OFF, "L/hd"},
                                        {MGCP_HOOK_ON, "L/hu"},
                                        {MGCP_HOOK_OPERATION_COMPLETE, "L/oc"}}) {
        EXPECT_EQ(endpoint.mgcp_notify_hook_status(status), MGCP_OK);
        EXPECT_EQ(next_command(), ntfy(event));
    }
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(7), MGCP_FAILED);
    request("L/hd(A)");  // requested without N: nothing to send
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_OK);
    EXPECT_TRUE(agent.silent());

    // Embedded: the signals play and the embedded R: replaces the list.
    request("L/hd(E(R(L/hu(N)),S(L/dl)))");
    control.calls.clear();
    EXPECT_EQ(endpoint.mgcp_notify_hook_status(MGCP_HOOK_OFF), MGCP_OK);
    EXPECT_TRUE(agent.silent()) << "E alone must not notify";
    EXPECT_EQ(control.calls, std::vector<std::string>({"VCPlayTone(0,1)"}));
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

TEST_F(endpoint_sends, new_call_and_digits) {
    // Number, caller's number and name, what is observed (nullptr: refused, nothing sent).
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
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
    for (const auto& [number, caller_number, caller_name, observed] : cases) {
        const int rc = endpoint.mgcp_notify_new_call(number, caller_number, caller_name);
        EXPECT_EQ(rc == MGCP_OK, observed != nullptr) << (number ? number : "null");
        EXPECT_EQ(observed ? next_command() : agent.receive(50), observed ? ntfy(observed) : "");
    }
    // Digits are filtered, and an all-filtered string sends nothing.
    EXPECT_EQ(endpoint.mgcp_send_digits("1a*#x-B9,"), MGCP_OK);
    EXPECT_EQ(next_command(), ntfy("D/1a*#B9"));
    EXPECT_EQ(endpoint.mgcp_send_digits("xyz-"), MGCP_OK);
    EXPECT_TRUE(agent.silent());
}

TEST_F(endpoint_sends, dynamic_endpoint_info_leaves_out_what_is_empty) {
    EXPECT_EQ(endpoint.send_dynamic_ep_info("", "5551234", "9876", true), MGCP_OK);
    EXPECT_EQ(next_command(), ntfy("Tarn/eacct(5551234,9876), Tarn/ver(2.5.0.0)"));
    EXPECT_EQ(endpoint.send_dynamic_ep_info("201", nullptr, nullptr, false), MGCP_OK);
    EXPECT_EQ(next_command(), ntfy("Tarn/ext(201), Tarn/ver(2.5.0.0)"));
    // Too long for one datagram: refused, not cut.
    EXPECT_NE(endpoint.send_dynamic_ep_info("", std::string(250, '7').c_str(), "1", false),
              MGCP_OK);
    EXPECT_TRUE(agent.silent());
}

using stranger = fake_call_agent;
const std::string RINGING = "RQNT 401 aaln/0 MGCP 1.0\r\nX: 9\r\nS: D/4242-1\r\n";
using sender_check = endpoint_fixture;

// Strangers' commands change nothing end to end (the foreign sender module); nor do their answers.
TEST_F(sender_check, an_answer_from_another_host_or_port_completes_nothing) {
    const std::string answer = "200 " + transaction_of(restart) + " OK\r\n";
    for (const auto& [address, port] :
         {std::pair<const char*, uint16_t>{"127.0.0.99", agent.port()}, {"127.0.0.1", 0}}) {
        stranger other(address, port);
        other.send_to(*control.receiver, answer);
        EXPECT_EQ(endpoint.poll(), 0) << address << ":" << other.port();
    }
    EXPECT_EQ(endpoint.transport().pending_count(), 1u);
    EXPECT_EQ(control.calls, std::vector<std::string>({"VCGetCallAgentConfig(0)"}));
    agent.send_to(*control.receiver, answer);
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_EQ(endpoint.transport().pending_count(), 0u);
    EXPECT_EQ(control.calls.back(), "OnSuccessfulRSIPResponseReceived(2)");
}

TEST_F(sender_check, drops_are_logged_once_per_sender_per_ten_seconds_with_a_count) {
    const size_t offset = engine_log().size();
    stranger first("127.0.0.99", 0), second("127.0.0.98", 0);
    const std::string line = "MGCP datagram from unexpected sender ";
    const std::string first_line = line + "127.0.0.99:" + std::to_string(first.port()) + " dropped";
    const std::string second_line =
        line + "127.0.0.98:" + std::to_string(second.port()) + " dropped";
    const std::string oversize_line = "Rx datagram longer than 255 bytes dropped";
    const auto send = [&](stranger& from, const std::string& text, int times = 1) {
        for (int i = 0; i < times; ++i) {
            from.send_to(*control.receiver, text);
            EXPECT_EQ(endpoint.poll(), 0);
        }
    };

    send(first, RINGING, 3);
    send(second, RINGING);
    send(agent, std::string(1000, 'x'), 2);
    g_fake_now += 9999;
    send(first, RINGING);
    const auto logged = [&](const std::vector<std::pair<std::string, size_t>>& counts) {
        for (const auto& [text, count] : counts)
            EXPECT_EQ(engine_log_count(text, offset), count) << text;
    };
    logged({{line, 2}, {first_line, 1}, {second_line, 1}, {oversize_line, 1}});

    g_fake_now += 1;  // ten seconds after the first line
    send(first, RINGING);
    send(agent, std::string(1000, 'x'));
    logged({{line, 3},
            {first_line + " (3 more since)", 1},
            {oversize_line, 2},
            {oversize_line + " (1 more since)", 1}});
}

}  // namespace
}  // namespace voxline::test
