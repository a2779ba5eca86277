// Reading received text: what is dropped, what is answered 510 or 528, and
// how the raw datagram is turned into text.
#include <gtest/gtest.h>

#include <string>

#include "mgcp/mgcp_codec.h"

namespace voxline::test {
namespace {

constexpr int DROPPED = -1;

struct parse_case {
    std::string text;
    int kind;           // DROPPED, a command kind, or MGCP_UNPARSED
    uint32_t code = 0;  // the answer code for MGCP_UNPARSED
};

const std::string H = "RQNT 1201 aaln/0 MGCP 1.0\r\n";

const parse_case parse_cases[] = {
    {"", DROPPED},
    {"\r\n", DROPPED},
    {"XYZW 1 aaln/0 MGCP 1.0\r\n", DROPPED},
    {H + "X: 1\r\n", MGCP_RQNT},
    {"\n" + H, MGCP_RQNT},
    {"AUEP 1 aaln/0 MGCP 1.0\r\n", MGCP_AUEP},
    {"AUCX 1 aaln/0 MGCP 1.0\r\n", MGCP_AUCX},
    {"RSIP 1 aaln/0 MGCP 1.0\r\n", MGCP_RSIP},
    {"crcx 1 aaln/0 MGCP 1.0\r\n", MGCP_CRCX},
    {"RQNT 1 aaln/0 MGCP 0.1\r\n", MGCP_UNPARSED, 528},
    {"RQNT 1 aaln/0 MGCP 1.1\r\n", MGCP_UNPARSED, 528},
    {"RQNT 1 aaln/0\r\n", MGCP_UNPARSED, 528},
    {"RQNT 1 aaln/0@gw.example.net MGCP 1.0\r\n", MGCP_RQNT},
    {"RQNT x aaln/0 MGCP 1.0\r\n", MGCP_UNPARSED, 510},
    {H + "W: 1\r\n", MGCP_UNPARSED, 510},
    {H + "F: x\r\n", MGCP_UNPARSED, 510},
    {H + "N: ca@host\r\n", MGCP_UNPARSED, 510},
    {H + "M: sendreceive\r\n", MGCP_UNPARSED, 510},
    {H + "M: SendRecv\r\n", MGCP_RQNT},
    {H + "RM: reboot\r\n", MGCP_UNPARSED, 510},
    {H + "E: xyz\r\n", MGCP_UNPARSED, 510},
    {H + "E: 1ffffffff\r\n", MGCP_UNPARSED, 510},
    {H + "RD: soon\r\n", MGCP_UNPARSED, 510},
    {H + "S: Q/dl\r\n", MGCP_UNPARSED, 510},
    {H + "S: M/xx\r\n", MGCP_UNPARSED, 510},
    {H + "S: L/xyz\r\n", MGCP_UNPARSED, 510},
    {H + "S: dl\r\n", MGCP_UNPARSED, 510},
    {H + "S: L/dl, L/v, L/bz, L/e, L/z, L/pg\r\n", MGCP_UNPARSED, 510},
    {H + "S: L/dl, L/v, L/bz, L/e, L/z\r\n", MGCP_RQNT},
    {H + "S: L/ci(abc\r\n", MGCP_UNPARSED, 510},
    {H + "S: L/dl)\r\n", MGCP_UNPARSED, 510},
    {H + "K: 1 2 3 4 5 6 7 8 9 10 11\r\n", MGCP_UNPARSED, 510},
    {H + "P: PS=\r\n", MGCP_UNPARSED, 510},
    {H + "X:77\r\n", MGCP_RQNT},
    {"RQNT 5 aaln/0 MGCP 1.0\nX: 1\nR: L/hd\n", MGCP_RQNT},
    {"200 1201 OK\r\n", MGCP_RESPONSE},
    {"200 1201 OK\r\nN: ca@host\r\nW: 1\r\n", MGCP_RESPONSE},
};

TEST(mgcp_parse, each_text_gives_the_expected_record) {
    for (const parse_case& c : parse_cases) {
        SCOPED_TRACE(c.text);
        auto m = parse_message(c.text.data(), c.text.size());
        if (c.kind == DROPPED) {
            EXPECT_FALSE(m);
            continue;
        }
        ASSERT_TRUE(m);
        EXPECT_EQ(m->kind, c.kind);
        if (c.kind == MGCP_UNPARSED) {
            EXPECT_EQ(m->response_code, c.code);
        }
    }
}

TEST(mgcp_parse, command_fields_and_long_ones_cut_to_their_buffers) {
    std::string text = "CRCX 987654321 dialdeck-endpoint-name/0 MGCP 1.0\r\nC: 1\r\n";
    auto m = parse_message(text.data(), text.size());
    ASSERT_EQ(m->kind, MGCP_CRCX);
    EXPECT_EQ(m->transaction_id, 987654321u);
    EXPECT_STREQ(m->endpoint_name, "dialdeck-endpoint-name/0");
    EXPECT_EQ(m->version_major * 10 + m->version_minor, 10);

    const std::string name(40, 'e');
    text = "RQNT 5 " + name + "/0 MGCP 1.0\r\nX: " + std::string(200, '7') + "\r\n";
    m = parse_message(text.data(), text.size());
    ASSERT_EQ(m->kind, MGCP_RQNT);
    EXPECT_EQ(std::string(m->endpoint_name), name.substr(0, 28));
    EXPECT_EQ(m->find(MGCP_PARAM_REQUEST_ID)->text.size(), 127u);
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
}  // namespace voxline::test
