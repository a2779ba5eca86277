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

namespace voxline::test {
namespace {

constexpr char HEADER[] = "RQNT 1234 aaln/0 MGCP 1.0\r\n";

std::unique_ptr<mgcp_message> command_with(std::unique_ptr<mgcp_parameter> p) {
    auto m = create_message(MGCP_RQNT);
    m->transaction_id = 1234;
    strcpy(m->endpoint_name, "aaln/0");
    add_parameter(*m, std::move(p));
    return m;
}

struct round_trip_case {
    mgcp_parameter_type type;
    const char* line;  // as the writer writes it, without its line break
    std::function<void(const mgcp_parameter&)> check;  // the values read
};

using param = const mgcp_parameter&;

const round_trip_case round_trip_cases[] = {
    {MGCP_PARAM_SIGNALS, "S: L/dl, D/5, L/ci(,5551234,Alice), D/123-456, G/mt(+)",
     [](param p) {
         ASSERT_EQ(p.events.size(), 5u);
         EXPECT_EQ(p.events[1].event, MGCP_D_DIGIT_0 + 5);
         EXPECT_EQ(p.events[2].parameter, ",5551234,Alice");
         EXPECT_EQ(p.events[3].event, MGCP_D_TEXT);
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
    for (const round_trip_case& c : round_trip_cases) {
        SCOPED_TRACE(c.line);
        std::string text = std::string(HEADER) + c.line + "\r\n";
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
        SCOPED_TRACE(c.value);
        std::string text = std::string(HEADER) + "L: " + c.value + "\r\n";
        auto read = parse_message(text.data(), text.size());
        ASSERT_EQ(read->kind, MGCP_RQNT);
        const mgcp_local_options& o = read->parameters[0]->options;
        EXPECT_EQ(o.period_lo, c.period_lo);
        EXPECT_EQ(o.period_hi, c.period_hi);
        EXPECT_EQ(o.codec_count, c.codecs);
        EXPECT_EQ(o.echo_cancellation, c.echo);
    }
}

TEST(mgcp_codec, endpoint_number_rules) {
    struct {
        const char* name;
        bool known;
        uint32_t number;
    } cases[] = {{"aaln/0", true, 0},
                 {"aaln/12@gw.example.net", true, 12},
                 {"aaln/$", true, 0x7FFFFFFE},
                 {"aaln/*@gw", true, 0x7FFFFFFF},
                 {"aaln", false, 99},
                 {"aaln/x", false, 99},
                 {"", false, 99}};
    for (const auto& c : cases) {
        uint32_t number = 99;
        EXPECT_EQ(endpoint_number(c.name, &number), c.known) << c.name;
        EXPECT_EQ(number, c.number) << c.name;
    }
}

}  // namespace
}  // namespace voxline::test
