#include "proxy/proxy_stack.h"

#include <gtest/gtest.h>

#include <tuple>

#include "proxy/proxy_messages.h"
#include "support/scripted_channel.h"
#include "support/temp_home.h"

namespace voxline::test {
namespace {

using namespace std::string_literals;

constexpr const char *PROXY = "10.0.0.1", *OTHER = "10.0.0.9";

TEST(ProxyMessages, EachAnswerAgainstEachValidator) {
    enum kind { ALLOC, PROBE, DEALLOC };
    using v = proxy_verdict;
    // Answer, sender, validator, verdict, the line logged when it is ignored for a reason.
    const std::tuple<const char*, const char*, kind, v, const char*> rows[] = {
        {"PROXY_ACKALLOC alice_1 40000", PROXY, ALLOC, v::granted, ""},
        {"PROXY_ACKALLOC alice_1 40000", OTHER, ALLOC, v::not_accepted,
         "Acknowledge from incorrect proxy ignored"},
        {"PROXY_ACKALLOC bob 40000", PROXY, ALLOC, v::not_accepted,
         "Acknowledge with unexpected session ID (bob) ignored"},
        {"PROXY_ACKALLOC alice_12 40000", PROXY, ALLOC, v::not_accepted,
         "Acknowledge with unexpected session ID (alice_12) ignored"},
        {"PROXY_ACKALLOC alice_1 0", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_ACKALLOC alice_1 -1", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_ACKALLOC alice_1 65536", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_ACKALLOC alice_1 4294972296", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_ACKALLOC alice_1 40000x", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_ACKALLOC alice_1", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_NAKALLOC alice_1", PROXY, ALLOC, v::refused, ""},
        {"PROXY_NAKALLOC alice_1", OTHER, ALLOC, v::not_accepted,
         "Negative acknowledge from incorrect proxy ignored"},
        {"PROXY_NAKALLOC bob", PROXY, ALLOC, v::not_accepted,
         "Negative acknowledge with unexpected session ID ignored"},
        {"PROXY_ACKPROBE alice_1", PROXY, ALLOC, v::not_accepted, ""},
        {"PROXY_ACKPROBE alice_1", PROXY, PROBE, v::granted, ""},
        {"PROXY_ACKPROBE alice_1", OTHER, PROBE, v::not_accepted,
         "Probe acknowledge from incorrect proxy ignored"},
        {"PROXY_ACKPROBE bob", PROXY, PROBE, v::not_accepted,
         "Probe acknowledge with unexpected session ID ignored"},
        {"PROXY_ACKALLOC alice_1 40000", PROXY, PROBE, v::not_accepted, ""},
        {"PROXY_ACKDEALLOC alice_1", PROXY, PROBE, v::not_accepted, ""},
        {"PROXY_ACKDEALLOC alice_1", PROXY, DEALLOC, v::granted, ""},
        {"PROXY_ACKDEALLOC alice_1", OTHER, DEALLOC, v::not_accepted,
         "Dellocate acknowledge from incorrect proxy ignored"},
        {"PROXY_ACKDEALLOC bob", PROXY, DEALLOC, v::not_accepted,
         "Deallocate acknowledge with unexpected session ID ignored"},
        {"PROXY_ACKPROBE alice_1", PROXY, DEALLOC, v::not_accepted, ""},
        {"PROXY_ACKDEALLOCX alice_1", PROXY, DEALLOC, v::not_accepted, ""},
    };
    temp_home home;
    for (const auto& [text, sender, validator, verdict, line] : rows) {
        SCOPED_TRACE(std::string(text) + " from " + sender);
        const size_t before = engine_log().size();
        int port = -1;
        const v got =
            validator == ALLOC   ? validate_alloc_answer(text, "alice_1", PROXY, sender, &port)
            : validator == PROBE ? validate_probe_answer(text, "alice_1", PROXY, sender)
                                 : validate_dealloc_answer(text, "alice_1", PROXY, sender);
        const size_t lines = *line ? 1 : 0;
        EXPECT_EQ(std::tuple(got, port, engine_log_count("ignored", before),
                             engine_log_count(*line ? line : "ignored", before)),
                  std::tuple(verdict, validator == ALLOC && got == v::granted ? 40000 : -1, lines,
                             lines));
    }
    // The session id is the whole client name as one token.
    EXPECT_EQ(proxy_session_id("Alice Smith\t1\n"), "Alice_Smith_1_");
    EXPECT_EQ(proxy_session_id("abcdefghijklmnopqrstuvwxyz0123"), "abcdefghijklmnopqrstuvwx");
}

class ProxyStack : public ::testing::Test {
  protected:
    bool allocate(const char* list) {
        return stack.allocate(list, 2830, "10.0.0.100", address, &port);
    }
    // Answers each request to `to` after 20 ms with text.
    void answer(const char* to, std::string text) {
        replies.emplace_back(to, std::move(text));
        peer.on_send = [this](scripted_channel& c, const scripted_channel::sent_datagram& d) {
            for (const auto& [who, reply] : replies)
                if (d.to == who) c.arrive(c.now + 20, who.c_str(), d.port, reply);
        };
    }
    temp_home home;
    scripted_channel peer;
    proxy_stack stack{peer, "alice 1"};
    std::vector<std::pair<std::string, std::string>> replies;
    char address[16] = "stale";
    int port = -1;
};

TEST_F(ProxyStack, SilentProxyGetsNineRequestsAtTheListedWaits) {
    EXPECT_FALSE(allocate(PROXY));
    const int64_t at[] = {0, 100, 200, 300, 400, 500, 700, 1000, 1500};
    ASSERT_EQ(peer.sent.size(), 9u);
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(std::tuple(peer.sent[i].at_ms, peer.sent[i].data, peer.sent[i].port),
                  std::tuple(at[i], "PROXY_ALLOC 0 alice_1 10.0.0.100\0"s, 2830));
    EXPECT_EQ(std::tuple(peer.now, std::string(address)), std::tuple(2000, ""));
    EXPECT_EQ(engine_log_count("Tx-Proxy[10.0.0.1:2830]: PROXY_ALLOC 0 alice_1 10.0.0.100"), 9u);
    EXPECT_EQ(engine_log_count("Timed out waiting for proxy response"), 1u);
}

TEST_F(ProxyStack, RefusedSilentAndBadEntriesOfTheListAreSkipped) {
    answer("10.0.0.2", "PROXY_NAKALLOC alice_1");
    answer("10.0.0.4", "PROXY_ACKALLOC alice_1 40002");
    EXPECT_TRUE(allocate("bogus, ,10.0.0.3, 10.0.0.2 ,10.0.0.4\r\n"));
    EXPECT_EQ(std::tuple(std::string(address), port), std::tuple("10.0.0.4", 40002));
    ASSERT_EQ(peer.sent.size(), 11u);
    EXPECT_EQ(std::tuple(peer.sent[9].to, peer.sent[10].at_ms), std::tuple("10.0.0.2", 2020));
    EXPECT_EQ(engine_log_count("Invalid proxy address [bogus] skipped"), 1u);
    EXPECT_EQ(engine_log_count("Invalid proxy address [] skipped"), 1u);
}

TEST_F(ProxyStack, ForgedGrantIsNotTakenNoGrantEmptiesTheAddressAndSendErrorsRetry) {
    peer.on_send = [](scripted_channel& c, const scripted_channel::sent_datagram&) {
        c.arrive(c.now + 10, OTHER, 2830, "PROXY_ACKALLOC alice_1 40000");
        c.arrive(c.now + 20, PROXY, 2830, "PROXY_NAKALLOC alice_1");
    };
    EXPECT_FALSE(allocate(PROXY));
    EXPECT_EQ(std::tuple(std::string(address), peer.sent.size()), std::tuple("", size_t{1}));

    peer = scripted_channel{};  // send errors move to the next attempt
    peer.send_errors = {111, 111};
    answer(PROXY, "PROXY_ACKPROBE alice_1");
    EXPECT_TRUE(stack.probe(PROXY, 40000));
    ASSERT_EQ(peer.sent.size(), 3u);
    EXPECT_EQ(std::tuple(peer.sent[2].data, peer.sent[2].port),
              std::tuple("PROXY_PROBE alice_1\0"s, 40000));
    EXPECT_EQ(engine_log_count("Tx-Proxy failed; error=111"), 2u);
}

TEST_F(ProxyStack, LateAnswersRtpAndOversizedDatagramsAreIgnored) {
    peer.arrive(5, PROXY, 2830, "PROXY_ACKALLOC alice_1 40000");
    peer.arrive(10, PROXY, 40000, "\x80\x12\x00\x07\x00\x00\x00\xa0\xde\xad\xbe\xef"s);
    peer.arrive(15, PROXY, 40000, "PROXY_ACKPROBE alice_1" + std::string(1100, ' '));
    peer.arrive(20, PROXY, 40000, "PROXY_ACKDEALLOC alice_1\r\nforged");
    peer.arrive(30, PROXY, 2830, "PROXY_ACKDEALLOC alice_1");
    EXPECT_TRUE(stack.release(PROXY, 2830));
    ASSERT_EQ(peer.sent.size(), 1u);
    EXPECT_EQ(peer.sent[0].data, "PROXY_DEALLOC 0 alice_1\0"s);
    for (const char* line : {"Rx-Proxy[10.0.0.1:40000]: (12 bytes) 80 12 00 07 00 00 00 a0 de ad ",
                             "Rx-Proxy[10.0.0.1:40000]: (1024 bytes)",
                             "Rx-Proxy[10.0.0.1:40000]: PROXY_ACKDEALLOC alice_1..forged",
                             "Deallocate acknowledge with unexpected session ID ignored"})
        EXPECT_EQ(engine_log_count(line), 1u) << line;
    EXPECT_EQ(engine_log_count("Ignored unexpected response"), 4u);
}

}  // namespace
}  // namespace voxline::test
