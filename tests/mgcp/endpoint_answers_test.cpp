// The endpoint's answers to the call agent's commands, against a fake call
// control.
#include <gtest/gtest.h>

#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

struct answer_case {
    std::string command;
    std::string answer;              // the whole answer text
    std::vector<std::string> calls;  // call-control calls made while answering
    int in_call = 0;
};

const std::string RQNT = "RQNT 300 aaln/0 MGCP 1.0\r\n", CRCX = "CRCX 300 aaln/0 MGCP 1.0\r\n",
                  MDCX = "MDCX 300 aaln/0 MGCP 1.0\r\n", OK = "200 300\r\n",
                  SDP = "\r\nv=0\r\nc=IN IP4 10.1.2.3\r\nm=audio 3400 RTP/AVP 18\r\n";
std::string code(int value) {
    return std::to_string(value) + " 300\r\n";
}

const answer_case answer_cases[] = {
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
    {CRCX + "C: 1\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n",
     OK + SDP,
     {"LiOpenRTPSession(0)", "LiModifyRTPSession(0,1)"}},
    {CRCX + "\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=image 4002 udptl t38\r\n", code(500), {}},
    {CRCX + "\r\nv=0\r\nc=IN IP4 0.0.0.0\r\nm=audio 4000 RTP/AVP 0\r\n", code(500), {}},
    {CRCX + "S: L/v\r\nR: L/hu\r\nX: 7\r\n", OK + SDP, {"VCPlayTone(0,2)", "LiOpenRTPSession(0)"}},
    {CRCX + "R: L/hu\r\n", code(510), {}},
    // MDCX
    {MDCX + "M: sendrecv\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n",
     OK,
     {"LiModifyRTPSession(0,0)"}},
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
    for (const answer_case& c : answer_cases) {
        SCOPED_TRACE(c.command);
        control.in_call = c.in_call;
        control.calls.clear();
        g_fake_now += 6001;  // past the cached answer to the previous case's transaction
        EXPECT_EQ(exchange(c.command), c.answer);
        EXPECT_EQ(control.calls, c.calls);
    }
}

TEST_F(endpoint_answers, crcx_hands_the_far_end_and_mode_to_call_control) {
    exchange(
        "CRCX 310 aaln/0 MGCP 1.0\r\nM: recvonly\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\n"
        "m=audio 4000 RTP/AVP 0\r\n");
    EXPECT_EQ(control.last_request.remote_address, ip("10.0.0.5"));
    EXPECT_EQ(control.last_request.remote_port, 4000);
    EXPECT_TRUE(control.last_request.mode_given);
    EXPECT_EQ(control.last_request.mode, 2);
}

TEST_F(endpoint_answers, refused_sessions_and_audit_with_a_connection) {
    control.open_result = 0;
    EXPECT_EQ(exchange("CRCX 311 aaln/0 MGCP 1.0\r\n"), "502 311\r\n");
    control.open_result = 1;
    control.modify_result = 0;
    const std::string far_end = "\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n";
    EXPECT_EQ(exchange("MDCX 313 aaln/0 MGCP 1.0\r\n" + far_end), "500 313\r\n");
    agent.send_to(*control.receiver, "CRCX 312 aaln/0 MGCP 1.0\r\n" + far_end);
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_TRUE(agent.silent()) << "a CRCX whose far end was refused is left unanswered";
    control.audit_result = 1;
    EXPECT_EQ(exchange("AUEP 314 dialdeck/0@host MGCP 1.0\r\n"),
              "200 314\r\nZ: dialdeck/0@host\r\nI: 1\r\n");
}

TEST_F(endpoint_answers, accepted_requests_replace_the_stored_ones_and_refused_keep_them) {
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
