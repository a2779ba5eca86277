// The call thread against a minimal call agent on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "audio/rtp_streamer.h"
#include "core/call_control.h"
#include "core/tarnwick_vxl.h"
#include "support/fake_call_agent.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

class CallThread : public ::testing::Test {
  protected:
    // Each test gets its own pair of loopback addresses.
    void start(int n, int flags = 0) {
        log_reset_for_test();
        home.write("vxl.mux", "");  // tests in one process may hold the instance lock
        phone_ip = "127.0.1." + std::to_string(10 + n);
        agent_ip = "127.0.1." + std::to_string(100 + n);
        agent = std::make_unique<fake_call_agent>(agent_ip.c_str(), 2727);
        ASSERT_TRUE(agent->bound);
        engine = new CTarnwickVXL();
        ASSERT_EQ(configure(engine, callback, flags), VXL_S_OK);
        ASSERT_EQ(engine->LogonToCallAgent(), VXL_S_OK);
        ASSERT_TRUE(callback.wait_for("ConnectedToCallAgent"));
        ASSERT_TRUE(agent->wait_for("Tarn/ver(2.5.0.0)"));  // the endpoint information went out
    }
    int32_t configure(CTarnwickVXL* e, recording_callback& cb, int flags = 0) {
        return e->ConfigureCallParameters(
            phone_ip.c_str(), "5551000", "Alice", agent_ip.c_str(), 2727, 2427, VXL_VOCODER_G711U,
            2, 20, 60, 40, &cb, 0, 0, "100", "987654321", "1234", flags, 0, 0, 0, nullptr, nullptr);
    }
    void TearDown() override {
        if (engine) engine->Release();  // logs off and waits for the thread
    }

    temp_home home;
    recording_callback callback;
    std::unique_ptr<fake_call_agent> agent;
    CTarnwickVXL* engine = nullptr;
    std::string phone_ip, agent_ip;
};

TEST_F(CallThread, NumbersHangupsDigitsAndASecondEngine) {
    ASSERT_NO_FATAL_FAILURE(start(0));
    // A second engine in the process does not start its endpoint.
    recording_callback second_callback;
    auto* second = new CTarnwickVXL();
    phone_ip = "127.0.1.16";
    ASSERT_EQ(configure(second, second_callback), VXL_S_OK);
    ASSERT_EQ(second->LogonToCallAgent(), VXL_S_OK);
    EXPECT_TRUE(second_callback.wait_for("Disconnected 3"));
    second->Release();

    for (const char* bad : {static_cast<const char*>(nullptr), "", "555*1234", "555#", "+15551234"})
        EXPECT_EQ(engine->Call(bad), VXL_E_INVALID_NUMBER) << (bad ? bad : "null");
    EXPECT_EQ(engine->Call(std::string(151, '5').c_str()), VXL_E_INVALID_NUMBER);
    ASSERT_EQ(engine->SendDigits("12"), VXL_S_OK);  // on-hook: played locally, never sent
    ASSERT_EQ(engine->Call("555 12-34"), VXL_S_OK);
    EXPECT_TRUE(agent->wait_for("D/5551234"));
    ASSERT_EQ(engine->SendDigits("9"), VXL_S_OK);               // no voice path yet: not sent
    EXPECT_EQ(engine->Call("600"), VXL_E_REQUEST_NOT_ALLOWED);  // already on a call
    // A configuration while the thread runs changes nothing.
    EXPECT_EQ(configure(engine, callback), VXL_E_REQUEST_NOT_ALLOWED);
    ASSERT_EQ(engine->Hangup(), VXL_S_OK);
    ASSERT_TRUE(callback.wait_for("Disconnected 0"));
    {
        // A repeated hang-up the thread has not taken yet neither sends a second on-hook nor
        // cancels the next call.
        std::lock_guard<std::recursive_mutex> hold_the_thread(engine->method_lock());
        ASSERT_EQ(engine->Hangup(), VXL_S_OK);
        ASSERT_EQ(engine->Call(std::string(150, '7').c_str()), VXL_S_OK);
    }
    EXPECT_TRUE(agent->wait_for("D/" + std::string(150, '7')));
    EXPECT_EQ(agent->count_received("O: L/hu"), 1) << "two hang-ups, one on-hook";
    EXPECT_EQ(agent->count_received("O: D/12"), 0);
    EXPECT_EQ(agent->count_received("O: D/9"), 0);
    EXPECT_EQ(agent->count_received("7f000110"), 0) << "the second engine's endpoint";
}

// Idle, the thread sleeps until the 35 s keep-alive (the audit's 210 s are further); a measured
// echo delay wakes it instead of being polled for.
TEST_F(CallThread, IdleLineSleepsUntilTheKeepAliveEchoDelayWakesItAndLogoffEnds) {
    ASSERT_NO_FATAL_FAILURE(
        start(7, VXL_FLAG_ECHO_CANCELLATION | VXL_FLAG_MGCP_AUDIT | VXL_FLAG_FORWARD_DIAGNOSTICS));
    call_control* control = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
        control = engine->control();
    }
    const auto expect_sleeps_for_the_keepalive = [&] {
        int64_t wait = -1;
        eventually([&] { return (wait = control->last_wait_ms()) >= 30000; }, 3000);
        EXPECT_TRUE(wait >= 30000 && wait <= 35000) << wait;
    };
    const auto ring_out = [&](const std::string& number, int media_sessions) {
        ASSERT_EQ(engine->Call(number.c_str()), VXL_S_OK);
        ASSERT_TRUE(agent->wait_for("D/" + number));
        agent->send_command("RQNT", "X: 7\nR: L/hu(N)\nS: L/v\n");
        agent->send_command("CRCX", "C: 1\nM: sendrecv\n");
        ASSERT_TRUE(eventually([&] { return agent->count_received("m=audio") == media_sessions; }));
    };
    const auto hang_up = [&](long calls) {
        ASSERT_EQ(engine->Hangup(), VXL_S_OK);
        ASSERT_TRUE(eventually([&] {
            const auto e = callback.snapshot();
            return std::count(e.begin(), e.end(), "Disconnected 0") == calls;
        }));
    };
    const std::string echo_delay = "GenericEvent " + std::to_string(VXL_EVENT_ECHO_DELAY) + " ";

    expect_sleeps_for_the_keepalive();
    // A refusal wakes nobody, yet its diagnostic line reaches the client at once.
    EXPECT_EQ(engine->Call(nullptr), VXL_E_INVALID_NUMBER);
    EXPECT_TRUE(eventually(
        [&] {
            for (const auto& m : callback.message_snapshot())
                if (m.find("invalid number [NULL]") != std::string::npos) return true;
            return false;
        },
        2000));

    ring_out("5550010", 1);  // a session that expected a delay that never came
    hang_up(1);
    expect_sleeps_for_the_keepalive();
    size_t at = 0;
    for (const char* change : {"idle -> dialling", "dialling -> ringing out",
                               "ringing out -> releasing", "releasing -> idle"}) {
        at = home.read("vxl.log").find(std::string("Line state ") + change, at);
        ASSERT_NE(at, std::string::npos) << change;
    }
    control->media()->post_measured_echo_delay(77);  // from the closed session: no call's

    ring_out("5550011", 2);
    expect_sleeps_for_the_keepalive();
    control->media()->post_measured_echo_delay(95);
    EXPECT_TRUE(callback.wait_for(echo_delay + "95 0 ", 2000));
    hang_up(2);
    expect_sleeps_for_the_keepalive();
    for (const auto& e : callback.snapshot()) EXPECT_NE(e, echo_delay + "77 0 ");

    ASSERT_EQ(engine->LogoffFromCallAgent(1), VXL_S_OK);
    ASSERT_TRUE(callback.wait_for("Disconnected 3"));
    EXPECT_EQ(agent->count_received("RM: graceful"), 1);
    EXPECT_TRUE(eventually([&] { return !engine->call_thread_running(); }, 10000));
    EXPECT_EQ(engine->LogoffFromCallAgent(1), VXL_E_REQUEST_NOT_ALLOWED);
    // Diagnostic lines reached the client through MessagePrint, oldest first.
    const auto messages = callback.message_snapshot();
    ASSERT_FALSE(messages.empty());
    EXPECT_THAT(messages.front(), ::testing::StartsWith("8 ["));
    EXPECT_THAT(messages.front(), ::testing::EndsWith("]Tarnwick Voxline Engine"));
    engine->Release();
    engine = nullptr;
    EXPECT_EQ(callback.references(), 1u);  // the engine gave back every reference it took
}

}  // namespace
}  // namespace voxline::test
