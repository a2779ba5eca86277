// Reading and writing MGCP text, the requested-event grammar and the session description.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "mgcp/mgcp_builders.h"
#include "mgcp/mgcp_events.h"
#include "mgcp/session_description.h"
#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

const std::string H = "RQNT 1234 aaln/0 MGCP 1.0\r\n";

std::unique_ptr<mgcp_message> parsed(const std::string& text) {
    return parse_message(text.data(), text.size());
}

using param = const mgcp_parameter&;
const struct {
    mgcp_parameter_type type;
    const char* line;  // as the writer writes it, without its line break
    std::function<void(const mgcp_parameter&)> check;  // the values read
} round_trip_cases[] = {
    {MGCP_PARAM_SIGNALS, "S: L/dl, D/5, L/ci(,5551234,Alice), D/123-456, G/mt(+)",
     [](param p) {
         ASSERT_EQ(p.events.size(), 5u);
         EXPECT_EQ(std::tuple(p.events[1].event, p.events[2].parameter, p.events[3].event),
                   std::tuple(MGCP_D_DIGIT_0 + 5, ",5551234,Alice", MGCP_D_TEXT));
     }},
    {MGCP_PARAM_REQUESTED_EVENTS, "R: L/hd(N, E(R(L/hu(N)),S(L/dl)))",
     [](param p) {
         ASSERT_EQ(p.requests.size(), 1u);
         EXPECT_EQ(p.requests[0].actions, MGCP_ACTION_NOTIFY | MGCP_ACTION_EMBEDDED);
     }},
    {MGCP_PARAM_MODE, "M: sendrecv", [](param p) { EXPECT_EQ(p.number, 3u); }},
    // Text values: writing them back unchanged is the check.
    {MGCP_PARAM_REQUEST_ID, "X: 0123abcd", nullptr},
    {MGCP_PARAM_CALL_ID, "C: A3C47F21", nullptr},
    {MGCP_PARAM_CONNECTION_ID, "I: FDE234C8", nullptr},
    {MGCP_PARAM_Z2, "Z2: aaln/1", nullptr},
    {MGCP_PARAM_SPECIFIC_ENDPOINT, "Z: dialdeck/0", nullptr},
    {MGCP_PARAM_DIGIT_MAP, "D: (0T|00T|[1-7]xxx)", nullptr},
    {MGCP_PARAM_LOCAL_OPTIONS, "L: p: 20-30, b: 64, a: G.711;G.729, gc: 3, e: on, s: off", nullptr},
    {MGCP_PARAM_OBSERVED_EVENTS, "O: Tarn/ext(1234), Tarn/acct(5551234,9876), Tarn/ver(2.5.0.0)",
     [](param p) { EXPECT_EQ(p.events.at(1).parameter, "5551234,9876"); }},
    {MGCP_PARAM_REASON_CODE, "E: 1f", [](param p) { EXPECT_EQ(p.number, 31u); }},
    {MGCP_PARAM_RESPONSE_ACK, "K: 6234-6255, 6257, 19030-19044",
     [](param p) { EXPECT_EQ(p.ranges.at(1).lo, 6257u); }},
    {MGCP_PARAM_CONNECTION_PARAMS, "P: PS=1245, OS=62345, PR=780, OR=45123, PL=10, JI=27, LA=48",
     [](param p) { EXPECT_EQ(p.counters.octets_received, 45123); }},
    {MGCP_PARAM_RESTART_METHOD, "RM: diconnected", [](param p) { EXPECT_EQ(p.number, 3u); }},
    {MGCP_PARAM_RESTART_DELAY, "RD: 4000000000", [](param p) { EXPECT_EQ(p.number, 4000000000u); }},
};

TEST(mgcp_codec, each_parameter_reads_its_line_and_writes_it_back) {
    for (const auto& c : round_trip_cases) {
        SCOPED_TRACE(c.line);
        std::string text = H + c.line + "\r\n";
        auto read = parse_message(text.data(), text.size() + 1);
        ASSERT_TRUE(read);
        ASSERT_EQ(read->kind, MGCP_RQNT) << "answer code " << read->response_code;
        ASSERT_EQ(read->parameters.size(), 1u);
        EXPECT_EQ(read->parameters[0]->type, c.type);
        if (c.check) c.check(*read->parameters[0]);
        ASSERT_TRUE(encode_message(*read));
        EXPECT_EQ(std::string(read->text, read->text_length), text);
    }
}

TEST(mgcp_codec, eight_parameters_and_three_codecs_are_kept) {
    auto m = create_message(MGCP_RQNT);
    std::string text = H;
    for (int i = 1; i <= 9; ++i) {
        add_parameter(*m, restart_delay_parameter(i));
        text += "RD: " + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(m->parameters.size(), 8u);
    auto read = parsed(text);
    ASSERT_EQ(read->kind, MGCP_RQNT);
    ASSERT_EQ(read->parameters.size(), 8u);
    EXPECT_EQ(read->parameters[7]->number, 8u);

    // Options, packet period range, codecs kept, echo cancellation.
    const std::tuple<const char*, uint32_t, uint32_t, int, bool> cases[] = {
        {"p:20, a:G.711;G.729, e:on", 20, 20, 2, true},
        {"p: 20, a: G.711;G.729, e: on", 20, 20, 2, true},  // the writer's own form
        {"p:10-30, a:PCMU;G.723;G.729;G.711;G.728, e:off", 10, 30, 3, false},
        {"e:ON, x:unknown", 0, 0, 0, true},
    };
    for (const auto& [value, period_lo, period_hi, codecs, echo] : cases) {
        read = parsed(H + "L: " + value + "\r\n");
        ASSERT_EQ(read->kind, MGCP_RQNT) << value;
        const mgcp_local_options& o = read->parameters[0]->options;
        EXPECT_EQ(std::tuple(o.period_lo, o.period_hi, o.codec_count, o.echo_cancellation),
                  std::tuple(period_lo, period_hi, codecs, echo))
            << value;
    }
}

TEST(mgcp_codec, endpoint_number_rules) {
    // Name, known, number (99: left alone).
    const std::tuple<const char*, bool, uint32_t> cases[] = {{"aaln/0", true, 0},
                                                             {"aaln/12@gw.example.net", true, 12},
                                                             {"aaln/$", true, 0x7FFFFFFE},
                                                             {"aaln/*@gw", true, 0x7FFFFFFF},
                                                             {"aaln", false, 99},
                                                             {"aaln/x", false, 99},
                                                             {"", false, 99}};
    for (const auto& [name, known, number] : cases) {
        uint32_t read = 99;
        const bool found = endpoint_number(name, &read);
        EXPECT_EQ(std::pair(found, read), std::pair(known, number)) << name;
    }
}

constexpr int DROPPED = -1;

TEST(mgcp_parse, each_text_gives_the_expected_record) {
    const struct {
        std::string text;
        int kind;           // DROPPED, a command kind, or MGCP_UNPARSED
        uint32_t code = 0;  // the answer code for MGCP_UNPARSED
    } cases[] = {
        {"", DROPPED},
        {"\r\n", DROPPED},
        {"XYZW 1 aaln/0 MGCP 1.0\r\n", DROPPED},
        {H + "X: 1\r\n", MGCP_RQNT},
        {"\n" + H, MGCP_RQNT},
        {"AUEP 1 aaln/0 MGCP 1.0\r\n", MGCP_AUEP},
        {"AUCX 1 aaln/0 MGCP 1.0\r\n", MGCP_AUCX},
        {"RSIP 1 aaln/0 MGCP 1.0\r\n", MGCP_RSIP},
        {"crcx 1 aaln/0 MGCP 1.0\r\n", MGCP_CRCX},
        {"RQNT 1 aaln/0 MGCP 1.1\r\n", MGCP_UNPARSED, 528},
        {"RQNT 1 aaln/0\r\n", MGCP_UNPARSED, 528},
        {"RQNT 1 aaln/0@gw.example.net MGCP 1.0\r\n", MGCP_RQNT},
        {"RQNT x aaln/0 MGCP 1.0\r\n", MGCP_UNPARSED, 510},
        {H + "M: SendRecv\r\n", MGCP_RQNT},
        {H + "X:77\r\n", MGCP_RQNT},
        {"RQNT 5 aaln/0 MGCP 1.0\nX: 1\nR: L/hd\n", MGCP_RQNT},
        {"200 1201 OK\r\n", MGCP_RESPONSE},
        {"200 1201 OK\r\nN: ca@host\r\nW: 1\r\n", MGCP_RESPONSE},
        // Text after a NUL is not read.
        {H + "X: 1\r\n" + std::string(1, '\0') + "W: 1\r\n", MGCP_RQNT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto m = parsed(c.text);
        ASSERT_EQ(m != nullptr, c.kind != DROPPED);
        if (!m) continue;
        EXPECT_EQ(std::pair(m->kind, m->kind == MGCP_UNPARSED ? m->response_code : 0),
                  std::pair(c.kind, c.code));
    }
    // A parameter line that cannot be read: answered 510.
    for (const char* line : {"W: 1", "F: x", "N: ca@host", "M: sendreceive", "RM: reboot", "E: xyz",
                             "E: 1ffffffff", "RD: soon", "S: Q/dl", "S: M/xx", "S: L/xyz", "S: dl",
                             "S: L/dl, L/v, L/bz, L/e, L/z, L/pg", "S: L/ci(abc", "S: L/dl)",
                             "K: 1 2 3 4 5 6 7 8 9 10 11", "P: PS="}) {
        auto m = parsed(H + line + "\r\n");
        EXPECT_TRUE(m && m->kind == MGCP_UNPARSED && m->response_code == 510) << line;
    }
}

TEST(mgcp_parse, command_fields_long_ones_cut_and_a_full_buffer_read_to_its_end) {
    auto m = parsed("CRCX 987654321 dialdeck-endpoint-name/0 MGCP 1.0\r\nC: 1\r\n\r\nv=0\r\n");
    ASSERT_EQ(m->kind, MGCP_CRCX);
    EXPECT_EQ(std::tuple(m->transaction_id, std::string(m->endpoint_name), int{m->version_major},
                         int{m->version_minor}),
              std::tuple(987654321u, "dialdeck-endpoint-name/0", 1, 0));
    EXPECT_FALSE(m->find(MGCP_PARAM_SESSION)) << "a body without a connection line";

    const std::string name(40, 'e');
    m = parsed("RQNT 5 " + name + "/0 MGCP 1.0\r\nX: " + std::string(200, '7') + "\r\n");
    ASSERT_EQ(m->kind, MGCP_RQNT);
    EXPECT_EQ(std::string(m->endpoint_name), name.substr(0, 28));
    EXPECT_EQ(m->find(MGCP_PARAM_REQUEST_ID)->text.size(), 127u);

    std::string full = H + "X: " + std::string(253 - H.size(), '9');
    ASSERT_EQ(full.size(), 256u);  // a full buffer without NUL: the last byte is still text
    m = parsed(full);
    ASSERT_EQ(m->kind, MGCP_RQNT);
    EXPECT_EQ(m->find(MGCP_PARAM_REQUEST_ID)->text.back(), '9');
}

// Reads and writes again; "<unreadable>" when the reader refuses.
std::string rewritten(const std::string& text) {
    mgcp_requested_event_list list;
    if (!read_requested_events(text, &list)) return "<unreadable>";
    char buffer[MGCP_TEXT_SIZE];
    mgcp_text_writer out(buffer, sizeof buffer);
    if (!write_requested_events(list, out) || out.overflowed()) return "<unwritable>";
    return std::string(out.text());
}

// Nests "L/hd(E(R(...)))" depth times around L/hu.
std::string nested(int depth) {
    std::string text = "L/hu(N)";
    for (int i = 0; i < depth; ++i) text = "L/hd(E(R(" + text + ")))";
    return text;
}

TEST(requested_events, grammar_and_nesting_four_levels_deep) {
    const char* cases[][2] = {
        {"L/hd(N, E(R(L/hu(N)),S(L/dl)))", "L/hd(N, E(R(L/hu(N)),S(L/dl)))"},
        {"L/hd", "L/hd(N)"},
        {"L/hd(N),L/hu(N)", "L/hd(N), L/hu(N)"},
        {" L/hd ( N , A ) ", "L/hd(N, A)"},
        {"L/hd(K,I,S,D,A,N)", "L/hd(N, A, D, S, I, K)"},
        {"l/HD(n)", "L/hd(N)"},
        {"D/[0-9#*T](D)", "D/[0-9#*T](D)"},
        {"L/hd(E(S(L/dl, L/v)))", "L/hd(E(S(L/dl, L/v)))"},
        {"L/hd(E(R()))", "L/hd(E(R()))"},  // an empty list is kept apart from none
        {"L/hd(E(D([0-9].T),R(L/hu)))", "L/hd(E(R(L/hu(N))))"},
        {"", ""},
        {"L/hd, L/hu, L/oc, L/hf, L/v", "L/hd(N), L/hu(N), L/oc(N), L/hf(N), L/v(N)"},
    };
    for (const auto& c : cases) EXPECT_EQ(rewritten(c[0]), c[1]) << c[0];
    for (const char* refused :
         {"L/hd, L/hu, L/oc, L/hf, L/v, L/pg", "L/hd(X)", "L/hd(N", "L/hd(E)", "L/hd(E())",
          "L/hd(E(Q(L/hu)))", "L/hd(E(R(L/hu))", "L/hd(N) L/hu", "L/hd(N),", "Z/hd(N)", "H/xx(N)"})
        EXPECT_EQ(rewritten(refused), "<unreadable>") << refused;
    EXPECT_EQ(rewritten(nested(4)), nested(4));
    EXPECT_EQ(rewritten(nested(5)), "<unreadable>");
    EXPECT_EQ(rewritten(nested(60)), "<unreadable>") << "deep input must not exhaust the stack";
}

// "none", or "<address text> <address read>:<remote port> audio|image <image port>".
std::string session_read(const char* body) {
    auto s = read_session_description(body);
    if (!s) return "none";
    char dotted[16];
    address_to_dotted(session_remote_address(*s), dotted, sizeof dotted);
    return std::string(s->address_text) + " " + dotted + ":" +
           std::to_string(session_remote_port(*s)) +
           (s->media_kind == SESSION_IMAGE ? " image " + std::to_string(s->image_port) : " audio");
}

TEST(session_description, reading_cases) {
    const char* cases[][2] = {
        {"v=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n", "10.0.0.5 10.0.0.5:4000 audio"},
        {"v=0\r\nm=audio 4000 RTP/AVP 0\r\nc=IN IP4 10.0.0.5\r\n", "10.0.0.5 10.0.0.5:4000 audio"},
        {"v=0\r\no=- 1 1 IN IP4 9.9.9.9\r\ns=-\r\nc=IN IP4 172.16.1.2\r\nt=0 0\r\n"
         "m=audio 5004 RTP/AVP 18 101\r\na=rtpmap:18 G729/8000\r\n",
         "172.16.1.2 172.16.1.2:5004 audio"},
        {"v=0\nc=IN IP4 10.0.0.5\nm=audio 4000 RTP/AVP 0", "10.0.0.5 10.0.0.5:4000 audio"},
        {"v=0\r\nc=IN IP4 10.0.0.5\r\nm=image 4002 udptl t38\r\n",
         "10.0.0.5 10.0.0.5:0 image 4002"},
        {"v=0\r\ns=abc=1\r\nm=audio 4000 RTP/AVP 0\r\n", "none"},  // "c=" inside another line
        {"v=0\r\nc=IN IP4 10.0.0.5\r\n", "none"},
        {"v=0\r\nc=IN IP4 media.example.network\r\nm=audio 4000 RTP/AVP 0\r\n",
         "media.example.net 0.0.0.0:4000 audio"},
        {"v=0\r\nc=IN IP4 10.0.0.256\r\nm=audio 70000 RTP/AVP 0\r\n", "10.0.0.256 0.0.0.0:0 audio"},
        {"c=\r\nm=\r\n", " 0.0.0.0:0 audio"},
    };
    for (const auto& c : cases) EXPECT_EQ(session_read(c[0]), c[1]) << c[0];
}

TEST(session_description, writing_audio_and_image) {
    char buffer[128];
    mgcp_text_writer out(buffer, sizeof buffer);
    session_description s = build_local_session(ip("192.168.2.3"), 3400, 4);
    write_session_description(s, out);
    EXPECT_STREQ(buffer, "v=0\r\nc=IN IP4 192.168.2.3\r\nm=audio 3400 RTP/AVP 4");
    s.media_kind = SESSION_IMAGE;
    s.image_port = 4002;
    mgcp_text_writer image_out(buffer, sizeof buffer);
    write_session_description(s, image_out);
    EXPECT_STREQ(buffer, "v=0\r\nc=IN IP4 192.168.2.3\r\nm=image 4002 udptl t38");
}

}  // namespace
}  // namespace voxline::test
