// Reading received text: what is dropped, what is answered 510 or 528, and
// how the raw datagram is turned into text.
#include <gtest/gtest.h>

#include <string>

#include "mgcp/mgcp_codec.h"

namespace voxline {
namespace {

constexpr int DROPPED = -1;

struct parse_case {
    const char* name;
    std::string text;
    int kind;           // DROPPED, a command kind, or MGCP_UNPARSED
    uint32_t code = 0;  // the answer code for MGCP_UNPARSED
};

const std::string H = "RQNT 1201 aaln/0 MGCP 1.0\r\n";

const parse_case parse_cases[] = {
    {"empty", "", DROPPED},
    {"blank line only", "\r\n", DROPPED},
    {"unknown verb", "XYZW 1 aaln/0 MGCP 1.0\r\n", DROPPED},
    {"plain RQNT", H + "X: 1\r\n", MGCP_RQNT},
    {"leading LF skipped", "\n" + H, MGCP_RQNT},
    {"verbs by letters AUEP", "AUEP 1 aaln/0 MGCP 1.0\r\n", MGCP_AUEP},
    {"verbs by letters AUCX", "AUCX 1 aaln/0 MGCP 1.0\r\n", MGCP_AUCX},
    {"verbs by letters RSIP", "RSIP 1 aaln/0 MGCP 1.0\r\n", MGCP_RSIP},
    {"lower-case verb", "crcx 1 aaln/0 MGCP 1.0\r\n", MGCP_CRCX},
    {"version 0.1", "RQNT 1 aaln/0 MGCP 0.1\r\n", MGCP_UNPARSED, 528},
    {"version 1.1", "RQNT 1 aaln/0 MGCP 1.1\r\n", MGCP_UNPARSED, 528},
    {"no version", "RQNT 1 aaln/0\r\n", MGCP_UNPARSED, 528},
    {"endpoint dots are not the version", "RQNT 1 aaln/0@gw.example.net MGCP 1.0\r\n", MGCP_RQNT},
    {"missing transaction id", "RQNT x aaln/0 MGCP 1.0\r\n", MGCP_UNPARSED, 510},
    {"unknown line", H + "W: 1\r\n", MGCP_UNPARSED, 510},
    {"name without reader F:", H + "F: x\r\n", MGCP_UNPARSED, 510},
    {"name without reader N:", H + "N: ca@host\r\n", MGCP_UNPARSED, 510},
    {"bad mode", H + "M: sendreceive\r\n", MGCP_UNPARSED, 510},
    {"mode case-blind", H + "M: SendRecv\r\n", MGCP_RQNT},
    {"bad restart method", H + "RM: reboot\r\n", MGCP_UNPARSED, 510},
    {"bad reason code", H + "E: xyz\r\n", MGCP_UNPARSED, 510},
    {"reason code too large", H + "E: 1ffffffff\r\n", MGCP_UNPARSED, 510},
    {"restart delay not a number", H + "RD: soon\r\n", MGCP_UNPARSED, 510},
    {"unknown package", H + "S: Q/dl\r\n", MGCP_UNPARSED, 510},
    {"package without reader", H + "S: M/xx\r\n", MGCP_UNPARSED, 510},
    {"unknown line event", H + "S: L/xyz\r\n", MGCP_UNPARSED, 510},
    {"event without package", H + "S: dl\r\n", MGCP_UNPARSED, 510},
    {"six signals", H + "S: L/dl, L/v, L/bz, L/e, L/z, L/pg\r\n", MGCP_UNPARSED, 510},
    {"five signals", H + "S: L/dl, L/v, L/bz, L/e, L/z\r\n", MGCP_RQNT},
    {"unclosed parameter", H + "S: L/ci(abc\r\n", MGCP_UNPARSED, 510},
    {"stray parenthesis", H + "S: L/dl)\r\n", MGCP_UNPARSED, 510},
    {"eleven ranges", H + "K: 1 2 3 4 5 6 7 8 9 10 11\r\n", MGCP_UNPARSED, 510},
    {"counter without value", H + "P: PS=\r\n", MGCP_UNPARSED, 510},
    {"no blank after colon", H + "X:77\r\n", MGCP_RQNT},
    {"bare LF lines", "RQNT 5 aaln/0 MGCP 1.0\nX: 1\nR: L/hd\n", MGCP_RQNT},
    {"response", "200 1201 OK\r\n", MGCP_RESPONSE},
    {"response drops lines it cannot read", "200 1201 OK\r\nN: ca@host\r\nW: 1\r\n", MGCP_RESPONSE},
};

class parsing : public ::testing::TestWithParam<parse_case> {};

TEST_P(parsing, gives_the_expected_record) {
    const parse_case& c = GetParam();
    auto m = parse_message(c.text.data(), c.text.size());
    if (c.kind == DROPPED) {
        EXPECT_FALSE(m);
        return;
    }
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, c.kind);
    if (c.kind == MGCP_UNPARSED) {
        EXPECT_EQ(m->response_code, c.code);
    }
}

INSTANTIATE_TEST_SUITE_P(cases, parsing, ::testing::ValuesIn(parse_cases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

TEST(mgcp_parse, command_fields) {
    std::string text = "CRCX 987654321 dialdeck-endpoint-name/0 MGCP 1.0\r\nC: 1\r\n";
    auto m = parse_message(text.data(), text.size());
    ASSERT_EQ(m->kind, MGCP_CRCX);
    EXPECT_EQ(m->transaction_id, 987654321u);
    EXPECT_STREQ(m->endpoint_name, "dialdeck-endpoint-name/0");
    EXPECT_EQ(m->version_major, 1);
    EXPECT_EQ(m->version_minor, 0);
}

TEST(mgcp_parse, long_fields_are_cut_to_their_buffers) {
    std::string name(40, 'e');
    std::string id(200, '7');
    std::string text = "RQNT 5 " + name + "/0 MGCP 1.0\r\nX: " + id + "\r\n";
    auto m = parse_message(text.data(), text.size());
    ASSERT_EQ(m->kind, MGCP_RQNT);
    EXPECT_EQ(std::string(m->endpoint_name), name.substr(0, MGCP_ENDPOINT_NAME_SIZE - 1));
    EXPECT_EQ(m->find(MGCP_PARAM_REQUEST_ID)->text.size(), size_t(MGCP_MAX_REQUEST_ID));
}

TEST(mgcp_parse, datagram_text_ends_at_nul_or_after_last_byte) {
    std::string with_nul = H + "X: 1\r\n" + std::string(1, '\0') + "W: 1\r\n";
    auto m = parse_message(with_nul.data(), with_nul.size());
    ASSERT_EQ(m->kind, MGCP_RQNT) << "text after the NUL was read";

    // A full buffer without NUL: the last byte is still text.
    std::string full = H + "X: " + std::string(MGCP_TEXT_SIZE - H.size() - 3, '9');
    ASSERT_EQ(full.size(), size_t(MGCP_TEXT_SIZE));
    m = parse_message(full.data(), full.size());
    ASSERT_EQ(m->kind, MGCP_RQNT);
    EXPECT_EQ(m->find(MGCP_PARAM_REQUEST_ID)->text.back(), '9');
}

TEST(mgcp_parse, body_without_connection_line_is_ignored) {
    std::string text = "CRCX 5 aaln/0 MGCP 1.0\r\nC: 1\r\n\r\nv=0\r\nm=audio 4000 RTP/AVP 0\r\n";
    auto m = parse_message(text.data(), text.size());
    ASSERT_EQ(m->kind, MGCP_CRCX);
    EXPECT_FALSE(m->find(MGCP_PARAM_SESSION));
}

}  // namespace
}  // namespace voxline
