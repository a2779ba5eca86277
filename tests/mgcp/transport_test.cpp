// The transport on a fake clock: round-trip estimate, transmissions, answer cache, numbering.
#include <gtest/gtest.h>

#include "mgcp/mgcp_builders.h"
#include "mgcp_test_support.h"

namespace voxline::test {
namespace {

// Call agent address 0: sent without touching the network.
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
        sockaddr_in call_agent{};  // only answers from where commands go count
        call_agent.sin_port = htons(2727);
        auto in = transport.receive(text.data(), text.size(), call_agent);
        ASSERT_TRUE(in.response) << "no pending command " << id;
    }

    mgcp_transport transport{fake_clock};
};

TEST_F(offline_transport, estimator_follows_samples_within_256_to_4096_ms) {
    EXPECT_EQ(transport.timeout_ms(), 256);
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

TEST_F(offline_transport, back_off_doubles_stays_bounded_and_an_answer_to_a_repeat_is_no_sample) {
    uint32_t id = send_command();
    g_fake_now += 256;
    transport.tick([](std::unique_ptr<mgcp_message>) { ADD_FAILURE() << "abandoned"; });
    const int after_backoff = transport.timeout_ms();
    EXPECT_EQ(transport.smoothed_round_trip_x8(), 512);
    g_fake_now += 10;
    answer(id);
    EXPECT_EQ(transport.timeout_ms(), after_backoff);
    EXPECT_EQ(transport.smoothed_round_trip_x8(), 512);

    for (int i = 0; i < 200; ++i) {  // nothing answered
        send_command();
        g_fake_now += 4096;
        transport.tick([](std::unique_ptr<mgcp_message>) {});
        ASSERT_LE(transport.timeout_ms(), 4096);
    }
    EXPECT_LE(transport.smoothed_round_trip_x8(), 8 * 4096 * 2);
}

TEST(mgcp_transport, transaction_ids_start_at_the_clock_and_wrap) {
    g_fake_now = 3'999'999'999;  // the counter starts at the clock modulo 1e9
    mgcp_transport transport(fake_clock);
    ASSERT_EQ(transport.open(0, 2727, nullptr), MGCP_TRANSPORT_OK);
    EXPECT_EQ(transport.next_transaction_id(), 1'000'000'000u);
    EXPECT_EQ(transport.next_transaction_id(), 1u);
    mgcp_transport closed(fake_clock);
    EXPECT_LT(closed.send(create_message(MGCP_RSIP)), 0);
}

using endpoint_transport = endpoint_fixture;

TEST_F(endpoint_transport, unanswered_restart_is_sent_ten_times_then_reported) {
    EXPECT_EQ(endpoint.ms_until_next_timer(), 256);  // the restart's first wait
    g_fake_now += 100;
    EXPECT_EQ(endpoint.ms_until_next_timer(), 156);
    ASSERT_EQ(endpoint.send_keepalive(), MGCP_OK);
    EXPECT_EQ(agent.receive(), "200 0\r\n");
    EXPECT_EQ(endpoint.ms_until_next_timer(), 156) << "a keep-alive is no command";
    std::vector<std::string> seen{restart};
    for (int i = 0; i < 20; ++i) {
        g_fake_now += 4096;
        endpoint.run_timers();
        std::string text = agent.receive(50);
        if (!text.empty()) seen.push_back(text);
    }
    EXPECT_EQ(seen, std::vector<std::string>(10, restart));
    EXPECT_EQ(endpoint.transport().pending_count(), 0u);
    EXPECT_EQ(endpoint.ms_until_next_timer(), -1);
    EXPECT_EQ(control.calls,
              std::vector<std::string>({"VCGetCallAgentConfig(0)", "OnNoResponse(1)"}));

    ASSERT_EQ(endpoint.mgcp_send_rsip_graceful(), MGCP_OK);
    for (int i = 0; i < 12; ++i) {
        g_fake_now += 4096;
        endpoint.run_timers();
    }
    EXPECT_EQ(control.calls.back(), "OnNoResponse(0)") << "a logoff is no registration";
}

TEST_F(endpoint_transport, repeated_command_is_answered_from_the_cache_for_six_seconds) {
    const std::string command = "RQNT 4711 aaln/0 MGCP 1.0\r\nS: L/dl\r\n";
    const std::string first = exchange(command);
    EXPECT_EQ(first, "200 4711\r\n");
    EXPECT_EQ(control.calls.back(), "VCPlayTone(0,1)");
    const size_t calls = control.calls.size();

    g_fake_now += 6000;
    EXPECT_EQ(exchange(command), first);
    EXPECT_EQ(control.calls.size(), calls) << "a repeat was processed again";

    g_fake_now += 1;
    EXPECT_EQ(exchange(command), first);
    EXPECT_EQ(control.calls.size(), calls + 1) << "an expired repeat was not processed anew";
}

TEST_F(endpoint_transport, long_datagrams_and_unmatched_answers_change_nothing) {
    std::string text = "RQNT 4712 aaln/0 MGCP 1.0\r\nS: L/dl\r\n";
    text += "X: " + std::string(256 - text.size() - 3, '1');
    agent.send_to(*control.receiver, text);
    EXPECT_EQ(endpoint.poll(), 0);
    agent.send_to(*control.receiver, "200 999999999 OK\r\n");  // answers nothing pending
    EXPECT_EQ(endpoint.poll(), 1);
    EXPECT_TRUE(agent.silent());
    EXPECT_EQ(control.calls.size(), 1u);
    EXPECT_EQ(endpoint.transport().pending_count(), 1u) << "the restart is still pending";
    text.pop_back();  // one byte shorter fits and is answered
    EXPECT_EQ(exchange(text), "200 4712\r\n");
}

TEST_F(endpoint_transport, datagrams_are_logged_without_any_pin) {
    ASSERT_EQ(endpoint.send_dynamic_ep_info("", "5551234", "pinQzX", false), MGCP_OK);
    EXPECT_NE(agent.receive().find("Tarn/acct(5551234,pinQzX)"), std::string::npos);
    const std::string log = engine_log();
    EXPECT_NE(log.find("Tx[127.0.0.1:" + std::to_string(agent.port()) + "]: NTFY"),
              std::string::npos);
    EXPECT_NE(log.find("Tarn/acct(5551234,****)"), std::string::npos);
    EXPECT_EQ(log.find("pinQzX"), std::string::npos);
    const char* cases[][2] = {
        {"O: Tarn/acct(1,2), Tarn/eacct(AB,CD)", "O: Tarn/acct(1,****), Tarn/eacct(AB,****)"},
        {"O: Tarn/acct(12)", "O: Tarn/acct(12)"},
        {"O: Tarn/acct(", "O: Tarn/acct("}};
    for (const auto& c : cases) {
        char out[64];
        mask_secrets_for_log(c[0], out, sizeof out);
        EXPECT_STREQ(out, c[1]);
    }
}

}  // namespace
}  // namespace voxline::test
