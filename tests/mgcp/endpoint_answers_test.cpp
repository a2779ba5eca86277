// The endpoint's answers to the call agent's commands, against a fake call
// control.
#include <gtest/gtest.h>

#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

struct answer_case {
    const char* name;
    std::string command;
    std::string answer;              // the whole answer text
    std::vector<std::string> calls;  // call-control calls made while answering
    int in_call = 0;
};

const std::string RQNT = "RQNT 300 aaln/0 MGCP 1.0\r\n";

const answer_case answer_cases[] = {
    // RQNT signals
    {"dial tone", RQNT + "S: L/dl\r\n", "200 300\r\n", {"VCPlayTone(0,1)"}},
    {"tone signals",
     RQNT + "S: L/v, L/pg, L/bz, L/e, L/z\r\n",
     "200 300\r\n",
     {"VCPlayTone(0,2)", "VCPlayTone(0,2)", "VCPlayTone(0,3)", "VCPlayTone(0,4)",
      "VCPlayTone(0,5)"}},
    {"silent line signals", RQNT + "S: L/hd, L/hu, L/rg\r\n", "200 300\r\n", {}},
    {"unsupported line signal",
     RQNT + "S: L/dl, L/wt, L/bz\r\n",
     "513 300\r\n",
     {"VCPlayTone(0,1)"}},
    {"caller id signal",
     RQNT + "S: L/ci(5551234,Alice)\r\n",
     "200 300\r\n",
     {"OnAniDnisReceived(0,5551234,null)"}},
    {"digits signal", RQNT + "S: D/5, D/A\r\n", "200 300\r\n", {}},
    {"calling and called",
     RQNT + "S: D/123-456\r\n",
     "200 300\r\n",
     {"OnAniDnisReceived(0,123,456)"}},
    {"calling only", RQNT + "S: D/123-\r\n", "200 300\r\n", {"OnAniDnisReceived(0,123,null)"}},
    {"digit text without dash", RQNT + "S: D/-123\r\n", "200 300\r\n", {}},
    {"named digit event", RQNT + "S: D/*\r\n", "513 300\r\n", {}},
    {"other package signal", RQNT + "S: G/rt\r\n", "518 300\r\n", {}},
    // RQNT requested events
    {"requested off-hook",
     RQNT + "X: 1\r\nR: L/hd(N)\r\n",
     "200 300\r\n",
     {"GetInActiveCallState()"}},
    {"off-hook while in call",
     RQNT + "X: 1\r\nR: L/hd(N)\r\n",
     "401 300\r\n",
     {"GetInActiveCallState()"},
     1},
    {"requested without X", RQNT + "R: L/hu(N)\r\n", "510 300\r\n", {}},
    {"line events accepted",
     RQNT + "R: L/hu, L/v, L/pg, L/hf, L/oc\r\nX: 2\r\n",
     "200 300\r\n",
     {}},
    {"line event not supported", RQNT + "X: 1\r\nR: L/dl(N)\r\n", "512 300\r\n", {}},
    {"digit request", RQNT + "X: 1\r\nR: D/[0-9#*T](D)\r\n", "518 300\r\n", {}},
    {"processing stops at the first failure", RQNT + "S: G/rt\r\nS: L/dl\r\n", "518 300\r\n", {}},
    {"digit map ignored", RQNT + "D: (xx)\r\nC: 9\r\n", "200 300\r\n", {}},
    {"unknown endpoint", "RQNT 300 aaln MGCP 1.0\r\nS: L/dl\r\n", "500 300\r\n", {}},
    // parse failures
    {"bad version", "RQNT 300 aaln/0 MGCP 0.1\r\nS: L/dl\r\n", "528 300\r\n", {}},
    {"received RSIP", "RSIP 300 ca/0 MGCP 1.0\r\nRM: restart\r\n", "510 300\r\n", {}},
    {"received AUCX", "AUCX 300 aaln/0 MGCP 1.0\r\nI: 1\r\n", "510 300\r\n", {}},
    // CRCX
    {"crcx without description",
     "CRCX 301 aaln/0 MGCP 1.0\r\nC: 1\r\nM: recvonly\r\n",
     "200 301\r\n\r\nv=0\r\nc=IN IP4 10.1.2.3\r\nm=audio 3400 RTP/AVP 18\r\n",
     {"LiOpenRTPSession(0)"}},
    {"crcx with description",
     "CRCX 301 aaln/0 MGCP 1.0\r\nC: 1\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP "
     "0\r\n",
     "200 301\r\n\r\nv=0\r\nc=IN IP4 10.1.2.3\r\nm=audio 3400 RTP/AVP 18\r\n",
     {"LiOpenRTPSession(0)", "LiModifyRTPSession(0,1)"}},
    {"crcx with image description",
     "CRCX 301 aaln/0 MGCP 1.0\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=image 4002 udptl t38\r\n",
     "500 301\r\n",
     {}},
    {"crcx with zero address",
     "CRCX 301 aaln/0 MGCP 1.0\r\n\r\nv=0\r\nc=IN IP4 0.0.0.0\r\nm=audio 4000 RTP/AVP 0\r\n",
     "500 301\r\n",
     {}},
    {"crcx requests and signals",
     "CRCX 301 aaln/0 MGCP 1.0\r\nS: L/v\r\nR: L/hu\r\nX: 7\r\n",
     "200 301\r\n\r\nv=0\r\nc=IN IP4 10.1.2.3\r\nm=audio 3400 RTP/AVP 18\r\n",
     {"VCPlayTone(0,2)", "LiOpenRTPSession(0)"}},
    {"crcx requests without X", "CRCX 301 aaln/0 MGCP 1.0\r\nR: L/hu\r\n", "510 301\r\n", {}},
    // MDCX
    {"mdcx",
     "MDCX 302 aaln/0 MGCP 1.0\r\nM: sendrecv\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 "
     "RTP/AVP 0\r\n",
     "200 302\r\n",
     {"LiModifyRTPSession(0,0)"}},
    {"mdcx without description", "MDCX 302 aaln/0 MGCP 1.0\r\nM: sendrecv\r\n", "500 302\r\n", {}},
    {"mdcx ignores signals", "MDCX 302 aaln/0 MGCP 1.0\r\nS: G/rt\r\n", "500 302\r\n", {}},
    // DLCX, AUEP, NTFY
    {"dlcx", "DLCX 303 aaln/0 MGCP 1.0\r\nC: 1\r\n", "200 303\r\n", {"VCRelease(0)"}},
    {"dlcx unknown endpoint", "DLCX 303 aaln MGCP 1.0\r\n", "200 303\r\n", {}},
    {"auep idle",
     "AUEP 304 x/0 MGCP 1.0\r\n",
     "200 304\r\nZ: x/0\r\nI: 0\r\n",
     {"OnAuditCommandReceived()"}},
    {"auep unknown endpoint", "AUEP 304 x MGCP 1.0\r\n", "500 304\r\n", {}},
    {"ntfy with status",
     "NTFY 305 aaln/0 MGCP 1.0\r\nO: Tarn/ldap(1 found)\r\n",
     "200 305\r\n",
     {"OnTarnwickLdapStatusReceived(0,1 found)"}},
    {"ntfy without own events", "NTFY 305 aaln/0 MGCP 1.0\r\nO: L/hd\r\n", "512 305\r\n", {}},
};

using endpoint_answers = endpoint_fixture;

TEST_F(endpoint_answers, each_command_gets_its_answer_and_calls) {
    for (const answer_case& c : answer_cases) {
        SCOPED_TRACE(c.name);
        control.in_call = c.in_call;
        control.calls.clear();
        g_fake_now += 6001;  // past the cached answer to the previous case's transaction
        EXPECT_EQ(exchange(c.command), c.answer);
        EXPECT_EQ(control.calls, c.calls);
    }
}

using endpoint_behaviour = endpoint_fixture;

TEST_F(endpoint_behaviour, crcx_hands_the_far_end_and_mode_to_call_control) {
    exchange(
        "CRCX 310 aaln/0 MGCP 1.0\r\nM: recvonly\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\n"
        "m=audio 4000 RTP/AVP 0\r\n");
    EXPECT_EQ(control.last_request.remote_address, ip("10.0.0.5"));
    EXPECT_EQ(control.last_request.remote_port, 4000);
    EXPECT_TRUE(control.last_request.mode_given);
    EXPECT_EQ(control.last_request.mode, 2);
}

TEST_F(endpoint_behaviour, crcx_failures) {
    control.open_result = 0;
    EXPECT_EQ(exchange("CRCX 311 aaln/0 MGCP 1.0\r\n"), "502 311\r\n");
    control.open_result = 1;
    control.modify_result = 0;
    agent.send_to(*control.receiver,
                  "CRCX 312 aaln/0 MGCP 1.0\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\n"
                  "m=audio 4000 RTP/AVP 0\r\n");
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_TRUE(agent.silent()) << "a CRCX whose far end was refused is left unanswered";
}

TEST_F(endpoint_behaviour, mdcx_failure_answers_500) {
    control.modify_result = 0;
    EXPECT_EQ(
        exchange("MDCX 313 aaln/0 MGCP 1.0\r\n\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n"),
        "500 313\r\n");
}

TEST_F(endpoint_behaviour, auep_reports_a_connection) {
    control.audit_result = 1;
    EXPECT_EQ(exchange("AUEP 314 dialdeck/0@host MGCP 1.0\r\n"),
              "200 314\r\nZ: dialdeck/0@host\r\nI: 1\r\n");
}

TEST_F(endpoint_behaviour, accepted_requests_replace_the_stored_ones_and_refused_keep_them) {
    exchange(RQNT + "X: a1\r\nR: L/hd(N), L/hu(N)\r\n");
    ASSERT_EQ(endpoint.requested_events().size(), 2u);
    EXPECT_EQ(endpoint.request_identifier(), "a1");

    EXPECT_EQ(exchange("RQNT 320 aaln/0 MGCP 1.0\r\nR: L/oc\r\n"), "510 320\r\n");
    EXPECT_EQ(endpoint.requested_events().size(), 2u);
    EXPECT_EQ(endpoint.request_identifier(), "a1");

    exchange("RQNT 321 aaln/0 MGCP 1.0\r\nS: L/dl\r\n");
    EXPECT_EQ(endpoint.requested_events().size(), 2u) << "an RQNT without R: changed them";

    exchange("RQNT 322 aaln/0 MGCP 1.0\r\nX: a2\r\nR:\r\n");
    EXPECT_TRUE(endpoint.requested_events().empty());
    EXPECT_EQ(endpoint.request_identifier(), "a2");
}

}  // namespace
}  // namespace voxline::test
