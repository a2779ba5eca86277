// Writing and reading MGCP messages: each parameter type through its writer
// and back through its reader, and the fixed points of the wire format.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "mgcp/mgcp_builders.h"
#include "mgcp/mgcp_codec.h"
#include "mgcp/mgcp_events.h"
#include "mgcp_test_support.h"
#include "util/udp_socket.h"

namespace voxline {
namespace {

using test::ip;

constexpr char HEADER[] = "RQNT 1234 aaln/0 MGCP 1.0\r\n";

std::unique_ptr<mgcp_message> command_with(std::unique_ptr<mgcp_parameter> p) {
    auto m = create_message(MGCP_RQNT);
    m->transaction_id = 1234;
    strcpy(m->endpoint_name, "aaln/0");
    add_parameter(*m, std::move(p));
    return m;
}

std::unique_ptr<mgcp_parameter> parameter(mgcp_parameter_type type,
                                          const std::function<void(mgcp_parameter&)>& fill) {
    auto p = std::make_unique<mgcp_parameter>();
    p->type = type;
    fill(*p);
    return p;
}

mgcp_event event(int package, int number) {
    return {package, number, false, ""};
}

struct round_trip_case {
    mgcp_parameter_type type;
    const char* line;  // as the writer writes it, without its line break
    std::function<void(const mgcp_parameter&)> check;  // the values read
};

const round_trip_case round_trip_cases[] = {
    {MGCP_PARAM_SIGNALS, "S: L/dl, D/5, L/ci(,5551234,Alice), D/123-456, G/mt(+)",
     [](const mgcp_parameter& p) {
         ASSERT_EQ(p.events.size(), 5u);
         EXPECT_EQ(p.events[0].event, MGCP_L_DL);
         EXPECT_EQ(p.events[1].event, MGCP_D_DIGIT_0 + 5);
         EXPECT_EQ(p.events[2].parameter, ",5551234,Alice");
         EXPECT_EQ(p.events[3].event, MGCP_D_TEXT);
         EXPECT_EQ(p.events[3].parameter, "123-456");
         EXPECT_EQ(p.events[4].parameter, "+");
     }},
    {MGCP_PARAM_REQUESTED_EVENTS, "R: L/hd(N, E(R(L/hu(N)),S(L/dl)))",
     [](const mgcp_parameter& p) {
         ASSERT_EQ(p.requests.size(), 1u);
         EXPECT_EQ(p.requests[0].actions, MGCP_ACTION_NOTIFY | MGCP_ACTION_EMBEDDED);
         ASSERT_EQ(p.requests[0].embedded_requests.size(), 1u);
         EXPECT_EQ(p.requests[0].embedded_requests[0].event.event, MGCP_L_HU);
         EXPECT_EQ(p.requests[0].embedded_signals[0].event, MGCP_L_DL);
     }},
    {MGCP_PARAM_MODE, "M: sendrecv", [](const mgcp_parameter& p) { EXPECT_EQ(p.number, 3u); }},
    {MGCP_PARAM_REQUEST_ID, "X: 0123abcd",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.text, "0123abcd"); }},
    {MGCP_PARAM_CALL_ID, "C: A3C47F21",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.text, "A3C47F21"); }},
    {MGCP_PARAM_CONNECTION_ID, "I: FDE234C8",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.text, "FDE234C8"); }},
    {MGCP_PARAM_OBSERVED_EVENTS, "O: Tarn/ext(1234), Tarn/acct(5551234,9876), Tarn/ver(2.5.0.0)",
     [](const mgcp_parameter& p) {
         ASSERT_EQ(p.events.size(), 3u);
         EXPECT_EQ(p.events[1].event, MGCP_TARN_ACCT);
         EXPECT_EQ(p.events[1].parameter, "5551234,9876");
     }},
    {MGCP_PARAM_REASON_CODE, "E: 1f", [](const mgcp_parameter& p) { EXPECT_EQ(p.number, 31u); }},
    {MGCP_PARAM_RESPONSE_ACK, "K: 6234-6255, 6257, 19030-19044",
     [](const mgcp_parameter& p) {
         ASSERT_EQ(p.ranges.size(), 3u);
         EXPECT_EQ(p.ranges[1].lo, 6257u);
         EXPECT_EQ(p.ranges[2].hi, 19044u);
     }},
    {MGCP_PARAM_Z2, "Z2: aaln/1", [](const mgcp_parameter& p) { EXPECT_EQ(p.text, "aaln/1"); }},
    {MGCP_PARAM_SPECIFIC_ENDPOINT, "Z: dialdeck/0",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.text, "dialdeck/0"); }},
    {MGCP_PARAM_DIGIT_MAP, "D: (0T|00T|[1-7]xxx)",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.text, "(0T|00T|[1-7]xxx)"); }},
    {MGCP_PARAM_CONNECTION_PARAMS, "P: PS=1245, OS=62345, PR=780, OR=45123, PL=10, JI=27, LA=48",
     [](const mgcp_parameter& p) {
         EXPECT_EQ(p.counters.octets_received, 45123);
         EXPECT_EQ(p.counters.latency, 48);
     }},
    {MGCP_PARAM_LOCAL_OPTIONS, "L: p: 20-30, b: 64, a: G.711;G.729, gc: 3, e: on, s: off",
     [](const mgcp_parameter& p) {
         EXPECT_EQ(p.options.period_hi, 30u);
         EXPECT_EQ(p.options.bandwidth_lo, 64u);
         EXPECT_EQ(p.options.codec_count, 2);
         EXPECT_EQ(p.options.codecs[1], 729u);
         EXPECT_TRUE(p.options.echo_cancellation);
         EXPECT_FALSE(p.options.silence_suppression);
     }},
    {MGCP_PARAM_RESTART_METHOD, "RM: diconnected",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.number, 3u); }},
    {MGCP_PARAM_RESTART_DELAY, "RD: 4000000000",
     [](const mgcp_parameter& p) { EXPECT_EQ(p.number, 4000000000u); }},
};

class parameter_round_trip : public ::testing::TestWithParam<round_trip_case> {};

TEST_P(parameter_round_trip, reads_its_line_and_writes_it_back) {
    const round_trip_case& c = GetParam();
    std::string text = std::string(HEADER) + c.line + "\r\n";
    auto read = parse_message(text.data(), text.size() + 1);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->kind, MGCP_RQNT) << "answer code " << read->response_code;
    ASSERT_EQ(read->parameters.size(), 1u);
    EXPECT_EQ(read->parameters[0]->type, c.type);
    c.check(*read->parameters[0]);
    ASSERT_TRUE(encode_message(*read));
    EXPECT_EQ(std::string(read->text, read->text_length), text);
}

INSTANTIATE_TEST_SUITE_P(all_types, parameter_round_trip, ::testing::ValuesIn(round_trip_cases),
                         [](const auto& info) {
                             std::string name = info.param.line;
                             return "type_" + std::to_string(info.param.type) + "_" +
                                    name.substr(0, name.find(':'));
                         });

TEST(mgcp_codec, detect_events_are_written_by_name_and_read_as_trunk_events) {
    auto m = command_with(parameter(MGCP_PARAM_DETECT_EVENTS, [](mgcp_parameter& p) {
        p.events = {event(MGCP_PACKAGE_T, 1), event(MGCP_PACKAGE_T, 11)};
    }));
    ASSERT_TRUE(encode_message(*m));
    EXPECT_EQ(std::string(m->text), std::string(HEADER) + "T: T/co1, T/bl\r\n");
    auto read = parse_message(m->text, strlen(m->text));
    ASSERT_EQ(read->kind, MGCP_RQNT);
    ASSERT_EQ(read->parameters[0]->events.size(), 2u);
    EXPECT_EQ(read->parameters[0]->events[0].package, MGCP_PACKAGE_T);
}

TEST(mgcp_codec, response_with_session_description_has_blank_line_before_body) {
    auto m = create_message(MGCP_RESPONSE);
    m->response_code = 200;
    m->transaction_id = 77;
    add_parameter(*m, session_parameter(build_local_session(ip("10.0.0.5"), 4000, 18)));
    ASSERT_TRUE(encode_message(*m));
    EXPECT_STREQ(m->text, "200 77\r\n\r\nv=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 18\r\n");
    auto read = parse_message(m->text, strlen(m->text));
    ASSERT_EQ(read->kind, MGCP_RESPONSE);
    EXPECT_EQ(read->response_code, 200u);
    EXPECT_EQ(read->transaction_id, 77u);
    const mgcp_parameter* body = read->find(MGCP_PARAM_SESSION);
    ASSERT_TRUE(body);
    EXPECT_EQ(session_remote_port(body->session), 4000);
}

TEST(mgcp_codec, writer_failures_leave_only_their_parameter_out) {
    auto m = command_with(parameter(MGCP_PARAM_MODE, [](mgcp_parameter& p) { p.number = 10; }));
    add_parameter(*m, restart_method_parameter(9));
    add_parameter(*m, parameter(MGCP_PARAM_F, [](mgcp_parameter&) {}));
    ASSERT_TRUE(encode_message(*m));
    EXPECT_EQ(std::string(m->text), std::string(HEADER) + "RM: invalid-restart-value\r\n");
}

TEST(mgcp_codec, ninth_parameter_is_dropped) {
    auto m = command_with(restart_delay_parameter(1));
    for (int i = 2; i <= 9; ++i) add_parameter(*m, restart_delay_parameter(i));
    EXPECT_EQ(m->parameters.size(), 8u);

    std::string text = HEADER;
    for (int i = 1; i <= 9; ++i) text += "RD: " + std::to_string(i) + "\r\n";
    auto read = parse_message(text.data(), text.size());
    ASSERT_EQ(read->kind, MGCP_RQNT);
    ASSERT_EQ(read->parameters.size(), 8u);
    EXPECT_EQ(read->parameters[7]->number, 8u);
}

TEST(mgcp_codec, text_that_does_not_fit_is_refused_whole) {
    auto m = command_with(observed_events_parameter({digit_event(std::string(200, '1'))}));
    EXPECT_TRUE(encode_message(*m));
    add_parameter(*m, connection_id_parameter(std::string(60, 'F')));
    EXPECT_FALSE(encode_message(*m));
    EXPECT_EQ(m->text_length, 0);
    EXPECT_STREQ(m->text, "");
}

TEST(mgcp_codec, unwritable_event_texts_fail_their_writer) {
    for (const char* digits : {"12 3", "1,2", "1)2", "1\r\n"}) {
        char buffer[MGCP_TEXT_SIZE];
        mgcp_text_writer out(buffer, sizeof buffer);
        EXPECT_FALSE(write_event_list({digit_event(digits)}, out)) << digits;
    }
    char buffer[MGCP_TEXT_SIZE];
    mgcp_text_writer out(buffer, sizeof buffer);
    EXPECT_FALSE(write_event_list({tarn_event(MGCP_TARN_EXT, "12)3")}, out));
}

TEST(mgcp_codec, local_options_reader_cases) {
    struct {
        const char* value;
        uint32_t period_lo, period_hi;
        int codecs;
        bool echo;
    } cases[] = {
        {"p:20, a:G.711;G.729, e:on", 20, 20, 2, true},
        // The writer's own form, with a blank after each colon, reads the same.
        {"p: 20, a: G.711;G.729, e: on", 20, 20, 2, true},
        {"p:10-30, a:PCMU;G.723;G.729;G.711;G.728, e:off", 10, 30, 3, false},
        {"e:ON, x:unknown", 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        std::string text = std::string(HEADER) + "L: " + c.value + "\r\n";
        auto read = parse_message(text.data(), text.size());
        ASSERT_EQ(read->kind, MGCP_RQNT) << c.value;
        const mgcp_local_options& o = read->parameters[0]->options;
        EXPECT_EQ(o.period_lo, c.period_lo) << c.value;
        EXPECT_EQ(o.period_hi, c.period_hi) << c.value;
        EXPECT_EQ(o.codec_count, c.codecs) << c.value;
        EXPECT_EQ(o.echo_cancellation, c.echo) << c.value;
    }
}

TEST(mgcp_codec, endpoint_number_rules) {
    struct {
        const char* name;
        bool known;
        uint32_t number;
    } cases[] = {
        {"aaln/0", true, 0},
        {"aaln/12@gw.example.net", true, 12},
        {"aaln/$", true, MGCP_ENDPOINT_ANY},
        {"aaln/*@gw", true, MGCP_ENDPOINT_ALL},
        {"aaln", false, 0},
        {"aaln/x", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t number = 99;
        EXPECT_EQ(endpoint_number(c.name, &number), c.known) << c.name;
        if (c.known) {
            EXPECT_EQ(number, c.number) << c.name;
        }
    }
}

}  // namespace
}  // namespace voxline
