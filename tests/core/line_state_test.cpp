// The named line state, and an idle line that really sleeps: before and
// after calls the call thread waits for the 35 s keep-alive, and a measured
// echo delay wakes it instead of being polled for.
#include "core/line_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "audio/rtp_streamer.h"
#include "core/call_control.h"
#include "core/tarnwick_vxl.h"
#include "support/fake_call_agent.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

using ::testing::AllOf;
using ::testing::Ge;
using ::testing::Le;

TEST(LineState, NamesWhatTheFlagsMean) {
    struct row {
        bool in_call, ringing, voice, ring_back, releasing;
        const char* state;
    };
    const row rows[] = {
        {false, false, false, false, false, "idle"},
        {false, false, false, false, true, "releasing"},
        {true, false, false, false, false, "dialling"},
        {true, false, false, false, true, "dialling"},  // a new call during a release
        {true, false, false, true, false, "ringing out"},
        {true, false, true, true, false, "in call"},
        {false, true, false, false, false, "ringing in"},
        {false, true, true, false, false, "ringing in"},  // media before the answer
        {true, true, true, false, false, "in call"},      // answered
        {false, false, true, false, false, "in call"},    // media the call agent started
    };
    for (const row& r : rows) {
        line_flags flags;
        flags.in_call = r.in_call;
        flags.ringing = r.ringing;
        flags.voice_path_active = r.voice;
        flags.ring_back = r.ring_back;
        flags.releasing = r.releasing;
        EXPECT_STREQ(line_state_name(derive_line_state(flags)), r.state)
            << r.in_call << r.ringing << r.voice << r.ring_back << r.releasing;
    }
}

class IdleLine : public ::testing::Test {
  protected:
    void SetUp() override {
        log_reset_for_test();
        home.write("vxl.mux", "");  // tests in one process may hold the instance lock
        agent = std::make_unique<fake_call_agent>("127.0.2.100", 2727);
        ASSERT_TRUE(agent->bound);
        engine = new CTarnwickVXL();
        ASSERT_EQ(
            engine->ConfigureCallParameters(
                "127.0.2.10", "5551000", "Alice", "127.0.2.100", 2727, 2427, VXL_VOCODER_G711U, 2,
                20, 60, 40, &callback, 0, 0, "100", "", "",
                VXL_FLAG_ECHO_CANCELLATION | VXL_FLAG_MGCP_AUDIT | VXL_FLAG_FORWARD_DIAGNOSTICS, 0,
                0, 0, nullptr, nullptr),
            VXL_S_OK);
        ASSERT_EQ(engine->LogonToCallAgent(), VXL_S_OK);
        ASSERT_TRUE(callback.wait_for("ConnectedToCallAgent"));
        ASSERT_TRUE(agent->wait_for("Tarn/ver"));
        std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
        control = engine->control();
    }
    void TearDown() override {
        if (engine) engine->Release();
    }

    // The call thread's wait once it has nothing left to do.
    int64_t settled_wait() {
        int64_t wait = -1;
        for (int i = 0; i < 300 && (wait = control->last_wait_ms()) < 30000; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return wait;
    }
    // Places a call that rings out and gets its media session (count: the how-many-th).
    void ring_out(const std::string& number, int count) {
        ASSERT_EQ(engine->Call(number.c_str()), VXL_S_OK);
        ASSERT_TRUE(agent->wait_for("D/" + number));
        agent->send_command("RQNT", "X: 7\nR: L/hu(N)\nS: L/v\n");
        agent->send_command("CRCX", "C: 1\nM: sendrecv\n");
        for (int i = 0; i < 500 && agent->count_received("m=audio") < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(agent->count_received("m=audio"), count);
    }
    void hang_up(int count) {
        ASSERT_EQ(engine->Hangup(), VXL_S_OK);
        for (int i = 0; i < 500 && disconnects() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(disconnects(), count);
    }
    int disconnects() {
        int n = 0;
        for (const auto& e : callback.snapshot()) n += e == "Disconnected 0";
        return n;
    }
    bool message_arrives(const std::string& text) {
        for (int i = 0; i < 200; ++i) {
            for (const auto& m : callback.message_snapshot())
                if (m.find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    static std::string echo_delay_event(int ms) {
        return "GenericEvent " + std::to_string(VXL_EVENT_ECHO_DELAY) + " " + std::to_string(ms) +
               " 0 ";
    }

    temp_home home;
    recording_callback callback;
    std::unique_ptr<fake_call_agent> agent;
    CTarnwickVXL* engine = nullptr;
    call_control* control = nullptr;
};

TEST_F(IdleLine, SleepsUntilTheKeepAliveAndIsWokenForAMeasuredEchoDelay) {
    // The audit watchdog (180 + 30 s) is further away than the keep-alive.
    EXPECT_THAT(settled_wait(), AllOf(Ge(30000), Le(35000)));
    // A refusal wakes nobody, yet its diagnostic line reaches the client at once.
    EXPECT_EQ(engine->Call(nullptr), VXL_E_INVALID_NUMBER);
    EXPECT_TRUE(message_arrives("invalid number [NULL]"));

    // A call whose session expected a delay that never came.
    ring_out("5550010", 1);
    hang_up(1);
    EXPECT_THAT(settled_wait(), AllOf(Ge(30000), Le(35000)));
    const std::string log = home.read("vxl.log");
    size_t at = 0;
    for (const char* change : {"idle -> dialling", "dialling -> ringing out",
                               "ringing out -> releasing", "releasing -> idle"}) {
        at = log.find(std::string("Line state ") + change, at);
        ASSERT_NE(at, std::string::npos) << change;
    }

    // A delay from the closed session belongs to no call.
    control->media()->post_measured_echo_delay(77);

    // The next call's session: the thread sleeps until the measurement wakes it.
    ring_out("5550011", 2);
    EXPECT_THAT(settled_wait(), AllOf(Ge(30000), Le(35000)));
    control->media()->post_measured_echo_delay(95);
    EXPECT_TRUE(callback.wait_for(echo_delay_event(95), 2000));
    hang_up(2);
    EXPECT_THAT(settled_wait(), AllOf(Ge(30000), Le(35000)));
    for (const auto& e : callback.snapshot()) EXPECT_NE(e, echo_delay_event(77));
}

}  // namespace
}  // namespace voxline::test
