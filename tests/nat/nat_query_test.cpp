#include "nat/nat_query.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "nat/nat_answer.h"
#include "support/scripted_channel.h"
#include "support/temp_home.h"
#include "util/udp_socket.h"

namespace voxline::test {
namespace {

using namespace std::string_literals;

TEST(NatAnswer, ReadsPortThenDottedAddressWithinBounds) {
    // Text, tokens read, valid, port (checked where the text has a readable one).
    const std::tuple<std::string, int, bool, int> rows[] = {
        {"5060 192.0.2.7", 2, true, 5060},
        {"1 10.0.0.1", 2, true, 1},
        {"65535 10.0.0.1", 2, true, 65535},
        {"  40000\t198.51.100.2  trailing", 2, true, 40000},
        {"0 10.0.0.1", 2, false, 0},
        {"-1 10.0.0.1", 2, false, -1},
        {"65536 10.0.0.1", 2, false, 0},
        {"4294967297 10.0.0.1", 2, false, 0},
        {"99999999999999999999999 10.0.0.1", 2, false, 0},
        {"5060 256.0.0.1", 2, false, 5060},
        {"5060 10.0.0", 2, false, 5060},
        {"5060 10.0.0.1.5", 2, false, 5060},
        {"5060 host.example", 2, false, 5060},
        {"5060 1234567890123456", 2, false, 5060},  // 16 characters: no room
        {"5060", 1, false, 5060},
        {"GetNAT", 0, false, -1},
        {"", 0, false, -1},
        {"5060 10.0.0.1\0"s + "99 junk", 2, true, 5060},
        {"5060\0 10.0.0.1"s, 1, false, 5060},
        {"\x80\x12\x00\x01\xde\xad\xbe\xef"s, 0, false, -1},
    };
    for (const auto& [text, tokens, valid, port] : rows) {
        SCOPED_TRACE(text);
        const nat_answer a = read_nat_answer(text.data(), text.size());
        EXPECT_EQ(std::tuple(a.tokens_read, a.valid, valid || port > 0 ? a.port : port),
                  std::tuple(tokens, valid, port));
    }
}

constexpr const char* SERVICE = "10.0.0.1";
constexpr uint16_t SERVICE_PORT = 2829;

class NatQuery : public ::testing::Test {
  protected:
    nat_query_result run() { return nat_query(peer, SERVICE, SERVICE_PORT, "10.1.1.5", 3400); }
    // Answers the n-th request (1-based) after 50 ms with text.
    void answer_request(size_t n, std::string text) {
        peer.on_send = [n, text](scripted_channel& c, const scripted_channel::sent_datagram&) {
            if (c.sent.size() == n) c.arrive(c.now + 50, SERVICE, SERVICE_PORT, text);
        };
    }
    temp_home home;
    scripted_channel peer;
};

TEST_F(NatQuery, SilentServiceGetsEightRequestsThenNoAnswer) {
    const nat_query_result r = run();
    ASSERT_EQ(peer.sent.size(), 8u);
    for (size_t i = 0; i < peer.sent.size(); ++i) {
        const auto& d = peer.sent[i];
        EXPECT_EQ(std::tuple(d.at_ms, d.data, d.to, d.port),
                  std::tuple(int64_t(i) * 200, "GetNAT\0"s, std::string(SERVICE), SERVICE_PORT));
    }
    EXPECT_EQ(std::tuple(r.no_answer, r.behind_nat, r.mapped_port), std::tuple(true, false, -1));
    EXPECT_LE(peer.now, 1800);
    EXPECT_EQ(engine_log_count("Sending NAT request to 10.0.0.1:2829"), 8u);
    EXPECT_EQ(engine_log_count("Did not receive any valid NAT responses.  Assuming we are not "
                               "behind a NAT."),
              1u);
}

TEST_F(NatQuery, FirstGoodAnswerDecidesAgainstTheLocalAddress) {
    for (const auto& [answer, behind] : {std::pair{"40000 198.51.100.2", true},
                                         {"3400 10.1.1.5", false},
                                         {"3401 10.1.1.5", true},
                                         {"3400 10.1.1.50", true}}) {
        SCOPED_TRACE(answer);
        peer = scripted_channel{};
        answer_request(3, answer);
        const nat_query_result q = run();
        EXPECT_EQ(std::tuple(peer.sent.size(), q.no_answer, q.behind_nat),
                  std::tuple(size_t{3}, false, behind));
        EXPECT_EQ(std::to_string(q.mapped_port) + " " + q.mapped_ip, answer);
    }
    EXPECT_EQ(engine_log_count("NAT info 198.51.100.2:40000 (behind a NAT)"), 1u);
    EXPECT_EQ(engine_log_count("NAT info 10.1.1.5:3400 (not behind a NAT)"), 1u);
    EXPECT_EQ(engine_log_count("NAT response=[3401 10.1.1.5]"), 1u);
}

TEST_F(NatQuery, RtpAndForeignSendersUseNoAttemptNorEndTheQuery) {
    // Nothing good ever comes: one datagram of each kind in the first attempt.
    peer.arrive(0, SERVICE, SERVICE_PORT, "\x80\x12\x01\x01\r\nNAT info forged"s);
    peer.arrive(0, "10.0.0.9", SERVICE_PORT, "40000 6.6.6.6");
    peer.arrive(0, SERVICE, SERVICE_PORT + 1, "40000 6.6.6.6");
    EXPECT_TRUE(run().no_answer);
    // The free first attempt gives room for a ninth request, at 1600 ms.
    ASSERT_EQ(peer.sent.size(), 9u);
    EXPECT_EQ(peer.sent.back().at_ms, 1600);
    for (const char* line :
         {"Unexpected NAT response with invalid IP information (tokens_read=0) ignored (possibly "
          "RTP)",
          "NAT response=[......NAT info forged]",
          "NAT response from unexpected sender 10.0.0.9:2829 ignored",
          "NAT response from unexpected sender 10.0.0.1:2830 ignored"})
        EXPECT_EQ(engine_log_count(line), 1u) << line;
    EXPECT_EQ(engine_log_count("6.6.6.6"), 0u);

    // A forged answer before the real one is not taken.
    peer = scripted_channel{};
    peer.arrive(10, "10.0.0.9", 2829, "40000 6.6.6.6");
    peer.arrive(20, SERVICE, SERVICE_PORT, "40000 198.51.100.2");
    const nat_query_result r = run();
    EXPECT_EQ(std::tuple(std::string(r.mapped_ip), r.mapped_port, peer.sent.size()),
              std::tuple("198.51.100.2", 40000, size_t{1}));

    // Whatever trickles in, the query ends within 1800 ms.
    peer = scripted_channel{};
    for (int64_t t = 10; t < 12000; t += 10) peer.arrive(t, SERVICE, SERVICE_PORT, "x");
    EXPECT_TRUE(run().no_answer);
    EXPECT_TRUE(peer.now <= 1800 && peer.sent.size() <= 9) << peer.now << " " << peer.sent.size();
}

TEST_F(NatQuery, FortyCharactersReadLongerAndOversizedRefused) {
    const std::string forty = "40000 198.51.100.2" + std::string(22, ' ');
    ASSERT_EQ(forty.size(), 40u);
    peer.arrive(10, SERVICE, SERVICE_PORT, forty + " ");
    peer.arrive(20, SERVICE, SERVICE_PORT, std::string(4000, '7'));
    peer.arrive(30, SERVICE, SERVICE_PORT, forty);
    const nat_query_result r = run();
    EXPECT_EQ(r.mapped_port, 40000);
    EXPECT_EQ(engine_log_count("Received unterminated NAT response"), 2u);
}

TEST_F(NatQuery, ReadAndSendErrorsEndOnlyTheAttemptAStopTheQuery) {
    peer.send_errors = {101, 0};
    peer.arrivals.push_back({30, SERVICE, SERVICE_PORT, "", 104});
    answer_request(3, "40000 198.51.100.2");
    const nat_query_result r = run();
    // First attempt: read error at 30 ms; second: silent; third answered.
    ASSERT_EQ(peer.sent.size(), 3u);
    EXPECT_EQ(std::tuple(peer.sent[1].at_ms, peer.sent[2].at_ms, r.behind_nat),
              std::tuple(30, 230, true));
    EXPECT_EQ(engine_log_count("Read NAT response failed, error=104"), 1u);

    peer = scripted_channel{};  // a stop ends the whole query
    peer.on_send = [](scripted_channel& c, const scripted_channel::sent_datagram&) {
        if (c.sent.size() == 2) c.stop = true;
    };
    EXPECT_TRUE(run().no_answer);
    EXPECT_EQ(peer.sent.size(), 2u);
}

TEST(NatLogonTest, BusyPort3400LeavesTheFlagUnchanged) {
    temp_home home;
    udp_socket holder("127.0.212.1", 3400);
    ASSERT_EQ(holder.listen_socket(0), UDP_OK);
    const std::string missing = home.file("vxl.nat");
    for (bool current : {false, true})
        EXPECT_EQ(nat_logon_test(missing.c_str(), "127.0.212.1", "127.0.212.2", 2829, current),
                  current);
    EXPECT_EQ(engine_log_count("Open local NAT port to 127.0.212.1:3400 failed"), 2u);
    EXPECT_EQ(engine_log_count("Unable to find suitable local NAT port (searched 3400..3400)"), 2u);
    EXPECT_EQ(engine_log_count("Sending NAT request"), 0u);
}

}  // namespace
}  // namespace voxline::test
