// Transport behaviour against a fake clock: the round-trip estimator and its
// clamp, retransmission until the tenth transmission, the response cache and
// transaction numbering.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mgcp/mgcp_builders.h"
#include "mgcp_test_support.h"
#include "platform/engine_paths.h"

namespace voxline::test {
namespace {

// A transport whose call agent address is 0: everything is "sent" without
// touching the network, which is all the estimator needs.
class offline_transport : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake_now = 5000;
        ASSERT_EQ(transport.open(0, 2727, nullptr), MGCP_TRANSPORT_OK);
    }
    uint32_t send_command() {
        auto m = create_message(MGCP_NTFY);
        strcpy(m->endpoint_name, "aaln/0");
        add_parameter(*m, observed_events_parameter({line_event(MGCP_L_HD)}));
        EXPECT_EQ(transport.send(std::move(m)), MGCP_TRANSPORT_OK);
        return transport.next_transaction_id() - 1;  // the id just used
    }
    void answer(uint32_t id) {
        std::string text = "200 " + std::to_string(id) + " OK\r\n";
        auto in = transport.receive(text.data(), text.size(), sockaddr_in{});
        ASSERT_TRUE(in.response) << "no pending command " << id;
    }
    std::vector<std::unique_ptr<mgcp_message>> tick() {
        std::vector<std::unique_ptr<mgcp_message>> abandoned;
        transport.tick([&](std::unique_ptr<mgcp_message> m) { abandoned.push_back(std::move(m)); });
        return abandoned;
    }

    mgcp_transport transport{fake_clock};
};

TEST_F(offline_transport, estimator_follows_samples_within_the_clamp) {
    EXPECT_EQ(transport.timeout_ms(), 256);
    EXPECT_EQ(transport.smoothed_round_trip_x8(), 256);

    uint32_t id = send_command();
    g_fake_now += 3000;
    answer(id);
    // err = 3000 - 256/8 = 2968
    EXPECT_EQ(transport.smoothed_round_trip_x8(), 256 + 2968);
    EXPECT_EQ(transport.deviation_x4(), 2968);
    EXPECT_EQ(transport.timeout_ms(), (256 + 2968) / 8 + 2968);

    id = send_command();
    g_fake_now += 3000;
    answer(id);
    EXPECT_EQ(transport.timeout_ms(), 4096);  // 727 + 4823 clamped

    for (int i = 0; i < 40; ++i) {
        id = send_command();
        g_fake_now += 1;
        answer(id);
    }
    EXPECT_EQ(transport.timeout_ms(), 256);
}

TEST_F(offline_transport, timeout_never_leaves_its_clamp) {
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 2000; ++round) {
        uint32_t id = send_command();
        if (next() % 3 == 0) {
            g_fake_now += transport.timeout_ms();
            tick();
        }
        g_fake_now += next() % 20000;
        if (next() % 4 != 0) answer(id);
        tick();
        ASSERT_GE(transport.timeout_ms(), MGCP_TIMEOUT_MIN_MS) << "round " << round;
        ASSERT_LE(transport.timeout_ms(), MGCP_TIMEOUT_MAX_MS) << "round " << round;
    }
}

TEST_F(offline_transport, answer_to_retransmitted_command_leaves_the_timeout) {
    uint32_t id = send_command();
    g_fake_now += 256;
    EXPECT_TRUE(tick().empty());
    int after_backoff = transport.timeout_ms();
    int64_t smoothed = transport.smoothed_round_trip_x8();
    EXPECT_EQ(smoothed, 512);
    g_fake_now += 10;
    answer(id);
    EXPECT_EQ(transport.timeout_ms(), after_backoff);
    EXPECT_EQ(transport.smoothed_round_trip_x8(), smoothed);
}

TEST_F(offline_transport, command_is_given_up_after_its_tenth_transmission) {
    send_command();
    int transmissions = 1;
    std::vector<std::unique_ptr<mgcp_message>> abandoned;
    for (int i = 0; i < 50 && abandoned.empty(); ++i) {
        EXPECT_GE(transport.ms_until_next_retransmission(), 0);
        g_fake_now += transport.ms_until_next_retransmission();
        abandoned = tick();
        ++transmissions;
    }
    ASSERT_EQ(abandoned.size(), 1u);
    EXPECT_EQ(abandoned[0]->send_count, MGCP_MAX_TRANSMISSIONS);
    EXPECT_EQ(transmissions, 10);
    EXPECT_EQ(transport.pending_count(), 0u);
    EXPECT_EQ(transport.ms_until_next_retransmission(), -1);
}

TEST_F(offline_transport, smoothed_round_trip_does_not_grow_without_bound) {
    for (int i = 0; i < 200; ++i) {
        send_command();
        g_fake_now += MGCP_TIMEOUT_MAX_MS;
        tick();
    }
    EXPECT_GT(transport.smoothed_round_trip_x8(), 0);
    EXPECT_LE(transport.smoothed_round_trip_x8(), 8 * MGCP_TIMEOUT_MAX_MS * 2);
}

TEST(mgcp_transport, transaction_ids_start_at_the_clock_and_wrap) {
    g_fake_now = 3'999'999'999;  // the counter starts at the clock modulo 1e9
    mgcp_transport transport(fake_clock);
    ASSERT_EQ(transport.open(0, 2727, nullptr), MGCP_TRANSPORT_OK);
    EXPECT_EQ(transport.next_transaction_id(), 1'000'000'000u);
    EXPECT_EQ(transport.next_transaction_id(), 1u);
    EXPECT_EQ(transport.next_transaction_id(), 2u);
}

TEST(mgcp_transport, closed_transport_refuses_to_send) {
    mgcp_transport transport(fake_clock);
    auto m = create_message(MGCP_RSIP);
    EXPECT_LT(transport.send(std::move(m)), 0);
}

using endpoint_transport = endpoint_fixture;

TEST_F(endpoint_transport, unanswered_restart_is_sent_ten_times_then_reported) {
    ASSERT_EQ(restart.substr(0, 5), "RSIP ");
    std::vector<std::string> seen{restart};
    for (int i = 0; i < 20; ++i) {
        g_fake_now += MGCP_TIMEOUT_MAX_MS;
        endpoint.run_timers();
        std::string text = agent.receive(50);
        if (!text.empty()) seen.push_back(text);
    }
    EXPECT_EQ(seen.size(), 10u);
    for (const std::string& text : seen) EXPECT_EQ(text, restart);
    EXPECT_EQ(control.calls,
              std::vector<std::string>({"VCGetCallAgentConfig(0)", "OnNoResponse(1)"}));
}

TEST_F(endpoint_transport, unanswered_graceful_restart_reports_no_registration) {
    agent.send_to(*control.receiver, "200 " + transaction_of(restart) + " OK\r\n");
    ASSERT_EQ(endpoint.poll(), 1);
    ASSERT_EQ(endpoint.mgcp_send_rsip_graceful(), MGCP_OK);
    for (int i = 0; i < 12; ++i) {
        g_fake_now += MGCP_TIMEOUT_MAX_MS;
        endpoint.run_timers();
    }
    EXPECT_EQ(control.calls.back(), "OnNoResponse(0)");
}

TEST_F(endpoint_transport, repeated_command_is_answered_from_the_cache_for_six_seconds) {
    const std::string command = "RQNT 4711 aaln/0 MGCP 1.0\r\nS: L/dl\r\n";
    std::string first = exchange(command);
    EXPECT_EQ(first, "200 4711\r\n");
    EXPECT_EQ(control.calls.back(), "VCPlayTone(0,1)");
    size_t calls = control.calls.size();

    g_fake_now += MGCP_RESPONSE_CACHE_MS;
    EXPECT_EQ(exchange(command), first);
    EXPECT_EQ(control.calls.size(), calls) << "a repeat was processed again";

    g_fake_now += 1;
    EXPECT_EQ(exchange(command), first);
    EXPECT_EQ(control.calls.size(), calls + 1) << "an expired repeat was not processed anew";
}

TEST_F(endpoint_transport, datagram_longer_than_the_buffer_is_dropped) {
    std::string text = "RQNT 4712 aaln/0 MGCP 1.0\r\nS: L/dl\r\n";
    text += "X: " + std::string(MGCP_TEXT_SIZE + 1 - text.size() - 3, '1');
    ASSERT_EQ(text.size(), size_t(MGCP_TEXT_SIZE + 1));
    agent.send_to(*control.receiver, text);
    EXPECT_EQ(endpoint.poll(), 0);
    EXPECT_TRUE(agent.silent());
    EXPECT_EQ(control.calls.size(), 1u);
    // One byte shorter fits and is answered.
    text.pop_back();
    EXPECT_EQ(exchange(text), "200 4712\r\n");
}

TEST_F(endpoint_transport, unmatched_response_counts_as_contact_and_changes_nothing) {
    agent.send_to(*control.receiver, "200 999999999 OK\r\n");
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_EQ(endpoint.transport().pending_count(), 1u) << "the restart is still pending";
    EXPECT_EQ(control.calls.size(), 1u);
    agent.send_to(*control.receiver, "garbage\r\n");
    EXPECT_EQ(endpoint.poll(), 0);
}

TEST_F(endpoint_transport, keepalive_is_a_response_with_transaction_zero) {
    ASSERT_EQ(endpoint.send_keepalive(), MGCP_OK);
    EXPECT_EQ(agent.receive(), "200 0\r\n");
}

TEST_F(endpoint_transport, next_timer_is_due_with_the_oldest_pending_command) {
    EXPECT_EQ(endpoint.ms_until_next_timer(), MGCP_TIMEOUT_MIN_MS);
    g_fake_now += 100;
    EXPECT_EQ(endpoint.ms_until_next_timer(), MGCP_TIMEOUT_MIN_MS - 100);
    agent.send_to(*control.receiver, "200 " + transaction_of(restart) + "\r\n");
    ASSERT_EQ(endpoint.poll(), 1);
    EXPECT_EQ(endpoint.ms_until_next_timer(), -1);
}

std::string log_text() {
    std::ifstream in(engine_file("vxl.log"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(endpoint_transport, datagrams_are_logged_without_the_pin) {
    ASSERT_EQ(endpoint.send_dynamic_ep_info("", "5551234", "pinQzX", false), MGCP_OK);
    EXPECT_NE(agent.receive().find("Tarn/acct(5551234,pinQzX)"), std::string::npos);
    std::string log = log_text();
    EXPECT_NE(log.find("Tx[127.0.0.1:" + std::to_string(agent.port()) + "]: NTFY"),
              std::string::npos);
    EXPECT_NE(log.find("Tarn/acct(5551234,****)"), std::string::npos);
    EXPECT_EQ(log.find("pinQzX"), std::string::npos);
}

TEST(mgcp_log_mask, hides_every_pin) {
    struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"O: Tarn/acct(1,2), Tarn/eacct(AB,CD)", "O: Tarn/acct(1,****), Tarn/eacct(AB,****)"},
        {"O: Tarn/acct(12)", "O: Tarn/acct(12)"},
        {"O: Tarn/acct(", "O: Tarn/acct("},
        {"no secrets", "no secrets"},
    };
    for (const auto& c : cases) {
        char out[64];
        mask_secrets_for_log(c.text, out, sizeof out);
        EXPECT_STREQ(out, c.shown);
    }
}

}  // namespace
}  // namespace voxline::test
