// Log-on, calls and the end of a session against an engine whose results the
// test chooses.
#include <gtest/gtest.h>

#include "control/state/state_fixture.h"

namespace voxline::test {

namespace {

using namespace kestrel;

const auto logged_on = [](IVXLCallback* s) { return s->ConnectedToCallAgent(); };

std::shared_ptr<engine_pool> engines(std::map<std::string, int32_t> results) {
    auto pool = std::make_shared<engine_pool>();
    pool->results = std::move(results);
    return pool;
}

}  // namespace

TEST(call_flow, log_on_outcomes) {
    struct row {
        const char* method;
        uint32_t result;
        int call_manager_state;
        std::vector<int> shown;
        int error;
        int reconnect_ms;
    };
    const row rows[] = {
        {"LogonToCallAgent", 0, CMSTATE_LOGGING_ON, {1}, -1, -1},
        {"LogonToCallAgent", 0x80040200, CMSTATE_LOGGED_ON, {1, 2}, -1, -1},  // already on
        {"LogonToCallAgent", 0x80004005, CMSTATE_DISCONNECTED, {1, 0}, 2, 5000},
        {"LogonToCallAgent", 0x8004020E, CMSTATE_DISCONNECTED, {1, 0}, 19, 5000},
        {"ConfigureCallParameters", 0x8004020D, CMSTATE_NONE, {}, 17, 5000},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.result);
        test_control c(engines({{r.method, static_cast<int32_t>(r.result)}}));
        c.start();
        EXPECT_EQ(c.call_manager_state(), r.call_manager_state);
        EXPECT_EQ(c.shown(), r.shown);
        EXPECT_EQ(c.error(), r.error);
        EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), r.reconnect_ms);
    }
}

TEST(call_flow, configuration_hands_the_engine_the_parameters) {
    test_control c;
    c.SetParameterValue("CallManager", " 192.168.100.1 ,10.0.0.2");
    c.SetParameterValue("CallerIDNumber", "(555) 010-0");
    c.SetParameterValue("Port", "2727");
    c.SetParameterValue("MGCPPort", "0x0AA8");
    c.SetParameterValue("CASAccount", "  acct  ");
    c.SetParameterValue("NATProxyAddress", "10.9.9.9");
    c.SetParameterValue("NATProxyPort", "3478");
    c.start();
    EXPECT_EQ(c.current_call_manager(), "192.168.100.1");
    EXPECT_EQ(c.engine().calls(),
              (std::vector<std::string>{
                  "GenericCommand 6 3478 10.9.9.9", "GenericCommand 7 10 ", "GenericCommand 8 300 ",
                  "GenericCommand 9 150 ",
                  "ConfigureCallParameters |5550100|Not Specified| 192.168.100.1 ,10.0.0.2|2727|"
                  "2728|1|Not Specified|acct|Not Specified|0|0|20",
                  "LogonToCallAgent"}));
}

TEST(call_flow, a_call_asked_for_before_log_on_is_placed_once_logged_on) {
    test_control c;
    c.start();
    c.type("600");
    EXPECT_EQ(c.PlaceCall(), VXL_E_FAIL);
    EXPECT_EQ(c.engine().count("Call"), 0u);
    c.engine().raise(logged_on);
    test_control::deliver();
    EXPECT_EQ(c.engine().calls().end()[-2], "GenericCommand 5 -1 ");  // the echo delay first
    EXPECT_EQ(c.engine().calls().back(), "Call 600");
    EXPECT_EQ(c.shown(), (std::vector<int>{1, 2, 3}));

    // Outside browser mode set-up dials PhoneNumber as soon as the log-on completes.
    test_control d;
    d.SetParameterValue("PhoneNumber", "601");
    d.start("Voxline");
    EXPECT_TRUE(d.waiting_to_connect());
    d.engine().raise(logged_on);
    test_control::deliver();
    EXPECT_EQ(d.engine().calls().back(), "Call 601");
}

TEST(call_flow, failed_engine_calls) {
    test_control c(engines({{"Call", VXL_E_INVALID_NUMBER}}));
    c.log_on();
    c.type("12a");
    EXPECT_EQ(c.PlaceCall(), VXL_E_INVALID_NUMBER);
    EXPECT_EQ(c.engine().calls().back(), "Call 12");
    EXPECT_EQ(c.call_state(), CALLSTATE_IDLE);
    EXPECT_EQ(c.GetStatusMessage(), "Invalid number");

    // A second call while one is under way never reaches the engine.
    c.engine().results["Call"] = 0;
    c.type("600");
    c.PlaceCall();
    EXPECT_EQ(c.PlaceCall(), VXL_E_REQUEST_NOT_ALLOWED);
    EXPECT_EQ(c.call_state(), CALLSTATE_DIALING);
    EXPECT_EQ(c.engine().count("Call"), 2u);

    c.engine().results["Hangup"] = VXL_E_FAIL;
    EXPECT_EQ(c.Hangup(), VXL_E_FAIL);
    EXPECT_EQ(c.call_state(), CALLSTATE_CONNECTED);
    c.engine().results["Hangup"] = VXL_S_NOTHING_TO_DO;
    EXPECT_EQ(c.Hangup(), VXL_S_OK);
    EXPECT_EQ(c.call_state(), CALLSTATE_IDLE);

    c.engine().raise([](IVXLCallback* s) { return s->Ringing("7"); });
    test_control::deliver();
    c.engine().results["Answer"] = VXL_E_FAIL;
    EXPECT_EQ(c.AnswerRingingCall(), VXL_E_FAIL);
    EXPECT_EQ(c.call_state(), CALLSTATE_INCOMING);
    c.engine().results["Answer"] = VXL_S_NOTHING_TO_DO;
    EXPECT_EQ(c.AnswerRingingCall(), VXL_S_OK);
    EXPECT_EQ(c.call_state(), CALLSTATE_IDLE);

    // A refused log-off disconnects at once, without reconnecting.
    c.engine().results["LogoffFromCallAgent"] = VXL_E_FAIL;
    EXPECT_EQ(c.DisconnectFromCallManager(0), VXL_E_FAIL);
    EXPECT_EQ(c.call_manager_state(), CMSTATE_DISCONNECTED);
    EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), -1);
}

TEST(call_flow, engine_classes) {
    auto pool = std::make_shared<engine_pool>();
    pool->refused = {"TarnwickVXL"};
    test_control c(pool);
    c.start();
    EXPECT_EQ(pool->classes, (std::vector<std::string>{"TarnwickVXL", "TarnwickVXLG729"}));
    EXPECT_EQ(c.engine_class(), "TarnwickVXLG729");

    auto none = std::make_shared<engine_pool>();
    none->refused = {"TarnwickVXL", "TarnwickVXLG723"};
    test_control d(none);
    d.start("browser 723");
    EXPECT_EQ(none->classes, (std::vector<std::string>{"TarnwickVXL", "TarnwickVXLG723"}));
    EXPECT_EQ(d.vocoder(), -1);
    EXPECT_EQ(d.GetStatusMessage(), "No vocoder support");
    EXPECT_EQ(d.scripts, (std::vector<std::string>{"InitialChatSession()"}));
    for (int32_t hr : {d.ConfigureCallManager(), d.LogonToCallManager(),
                       d.DisconnectFromCallManager(1), d.Hangup(), d.AnswerRingingCall()}) {
        EXPECT_EQ(hr, VXL_E_FAIL);
    }
}

TEST(call_flow, hang_up_ends_the_session_when_asked_to_but_not_while_destroying) {
    test_control c;
    c.SetParameterValue("AllowSimultaneous", "TRUE");
    c.log_on();
    fake_engine& engine = c.engine();
    c.type("600");
    c.PlaceCall();
    EXPECT_EQ(c.Hangup(), VXL_S_OK);
    EXPECT_FALSE(c.has_engine());
    EXPECT_EQ(engine.calls().end()[-2], "Hangup");
    EXPECT_EQ(engine.calls().back(), "LogoffFromCallAgent");
    EXPECT_EQ(c.scripts, (std::vector<std::string>{"RedirectOnHangUp()"}));
    EXPECT_EQ(c.closes, 1);
    EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), -1);

    test_control d;
    d.SetParameterValue("AllowSimultaneous", "true");
    d.log_on();
    d.Destroy();
    EXPECT_TRUE(d.scripts.empty());
    EXPECT_EQ(d.closes, 0);
    EXPECT_FALSE(d.has_engine());
}

TEST(call_flow, a_vocoder_change_while_logged_on_reconnects_on_the_new_engine) {
    test_control c;
    c.log_on();
    fake_engine& first = c.engine();
    c.SetParameterValue("Mode", "G723");
    EXPECT_EQ(first.calls().back(), "LogoffFromCallAgent");
    EXPECT_NE(&c.engine(), &first);
    EXPECT_EQ(c.call_manager_state(), CMSTATE_DISCONNECTED);
    EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), 5000);
    c.timers().fire(RECONNECT_TIMER);
    EXPECT_EQ(c.engine().calls().back(), "LogonToCallAgent");
    c.engine().raise(logged_on);
    test_control::deliver();
    EXPECT_EQ(c.call_state(), CALLSTATE_IDLE);
    EXPECT_EQ(c.vocoder(), VXL_VOCODER_G723);
}

}  // namespace voxline::test
