// Log-on, calls, errors, reconnection and the end of a session against an
// engine whose results the test chooses.
#include "control/state/state_fixture.h"

namespace voxline::test {

using namespace kestrel;

TEST(call_flow, log_on_outcomes) {
    // Method, its result: call manager state, states shown, error, reconnection delay.
    const std::tuple<const char*, uint32_t, int, std::vector<int>, int, int> rows[] = {
        {"LogonToCallAgent", 0, CMSTATE_LOGGING_ON, {1}, -1, -1},
        {"LogonToCallAgent", 0x80040200, CMSTATE_LOGGED_ON, {1, 2}, -1, -1},  // already on
        {"LogonToCallAgent", 0x80004005, CMSTATE_DISCONNECTED, {1, 0}, 2, 5000},
        {"LogonToCallAgent", 0x8004020E, CMSTATE_DISCONNECTED, {1, 0}, 19, 5000},
        {"ConfigureCallParameters", 0x8004020D, CMSTATE_NONE, {}, 17, 5000},
    };
    for (const auto& [method, result, call_manager_state, shown, error, reconnect_ms] : rows) {
        SCOPED_TRACE(result);
        test_control c({{method, static_cast<int32_t>(result)}});
        c.start();
        EXPECT_EQ(std::tuple(c.call_manager_state(), c.shown, c.error()),
                  std::tuple(call_manager_state, shown, error));
        EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), reconnect_ms);
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
    log_on(c.engine());
    EXPECT_EQ(c.engine().calls().end()[-2], "GenericCommand 5 -1 ");  // the echo delay first
    EXPECT_EQ(c.engine().calls().back(), "Call 600");
    EXPECT_EQ(c.shown, (std::vector<int>{1, 2, 3}));

    // Outside browser mode set-up dials PhoneNumber as soon as the log-on completes.
    test_control d;
    d.SetParameterValue("PhoneNumber", "601");
    d.start("Voxline");
    EXPECT_TRUE(d.waiting_to_connect());
    log_on(d.engine());
    EXPECT_EQ(d.engine().calls().back(), "Call 601");
}

TEST(call_flow, failed_engine_calls) {
    test_control c({{"Call", VXL_E_INVALID_NUMBER}});
    c.log_on();
    c.type("12a");
    EXPECT_EQ(c.PlaceCall(), VXL_E_INVALID_NUMBER);
    EXPECT_EQ(std::tuple(c.engine().calls().back(), c.call_state(), c.GetStatusMessage()),
              std::tuple("Call 12", CALLSTATE_IDLE, "Invalid number"));

    // A second call while one is under way never reaches the engine.
    c.engine().results["Call"] = 0;
    c.type("600");
    c.PlaceCall();
    EXPECT_EQ((std::tuple{c.PlaceCall(), c.call_state(), c.engine().count("Call")}),
              std::tuple(VXL_E_REQUEST_NOT_ALLOWED, CALLSTATE_DIALING, 2u));

    c.engine().results["Hangup"] = VXL_E_FAIL;
    EXPECT_EQ((std::tuple{c.Hangup(), c.call_state()}),
              std::tuple(VXL_E_FAIL, CALLSTATE_CONNECTED));
    c.engine().results["Hangup"] = VXL_S_NOTHING_TO_DO;
    EXPECT_EQ((std::tuple{c.Hangup(), c.call_state()}), std::tuple(VXL_S_OK, CALLSTATE_IDLE));

    c.engine().raise([](IVXLCallback* s) { return s->Ringing("7"); });
    deliver();
    c.engine().results["Answer"] = VXL_E_FAIL;
    EXPECT_EQ((std::tuple{c.AnswerRingingCall(), c.call_state()}),
              std::tuple(VXL_E_FAIL, CALLSTATE_INCOMING));
    c.engine().results["Answer"] = VXL_S_NOTHING_TO_DO;
    EXPECT_EQ((std::tuple{c.AnswerRingingCall(), c.call_state()}),
              std::tuple(VXL_S_OK, CALLSTATE_IDLE));

    // A refused log-off disconnects at once, without reconnecting.
    c.engine().results["LogoffFromCallAgent"] = VXL_E_FAIL;
    EXPECT_EQ((std::tuple{c.DisconnectFromCallManager(0), c.call_manager_state(),
                          c.timers().delay(RECONNECT_TIMER)}),
              std::tuple(VXL_E_FAIL, CMSTATE_DISCONNECTED, -1));
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
    EXPECT_EQ(std::tuple(d.vocoder(), d.GetStatusMessage()), std::tuple(-1, "No vocoder support"));
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
    EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), -1);

    test_control d;
    d.SetParameterValue("AllowSimultaneous", "true");
    d.log_on();
    d.Destroy();
    EXPECT_EQ(std::tuple(d.scripts.size(), d.closes, d.has_engine()), std::tuple(0u, 0, false));
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
    log_on(c.engine());
    EXPECT_EQ(c.call_state(), CALLSTATE_IDLE);
    EXPECT_EQ(c.vocoder(), VXL_VOCODER_G723);
}

TEST(control_states, error_priorities) {
    // Current, next: the error then, and whether the page's chat session is opened.
    const std::tuple<int, int, int, bool> rows[] = {
        {-1, 1, 1, false},    // invalid number (3) over none
        {1, 2, 2, false},     // unknown error (4) over invalid number (3)
        {2, 1, 2, false},     // lower priority does not replace
        {16, 0, 16, false},   // no server connection (17) below account in use (18)
        {18, 18, 18, false},  // the same error again
        {19, 22, 19, false},  // existing session (22) is the highest
        {14, 15, 15, false},  // balance low (1) gives way to no LDAP (2)
        {3, 4, 4, true},      // no vocoder support opens the chat
        {13, 4, 13, false},   // a chat error that does not take effect opens nothing
        {-1, 20, -1, false},  // the refused-connection entry is never set
        {-1, 23, -1, false},  // nor an index outside the list
        {19, -1, -1, false},  // clearing always works
    };
    for (const auto& [current, next, result, chat] : rows) {
        SCOPED_TRACE(std::to_string(current) + " then " + std::to_string(next));
        test_control c;
        c.SetErrorState(current);
        c.scripts.clear();
        c.SetErrorState(next);
        EXPECT_EQ(std::pair(c.error(), c.scripts.size()), std::pair(result, size_t{chat}));
    }
}

TEST(control_states, soft_errors_clear_themselves_after_7_seconds) {
    test_control c;
    c.SetErrorState(1);
    EXPECT_EQ(c.timers().delay(SOFT_ERROR_TIMER), 7000);
    c.timers().fire(SOFT_ERROR_TIMER);
    EXPECT_EQ(c.error(), -1);

    // A hard error replacing a soft one stops the clock; a late expiry leaves it.
    c.SetErrorState(8);
    c.SetErrorState(0);
    EXPECT_EQ(c.timers().delay(SOFT_ERROR_TIMER), -1);
    c.timers().fire(SOFT_ERROR_TIMER);
    EXPECT_EQ(c.error(), 0);
}

TEST(control_states, reconnection_delays) {
    test_control c({{"ConfigureCallParameters", VXL_E_FAIL}});
    c.start();
    for (int attempt = 0; attempt < 14; ++attempt) c.timers().fire(RECONNECT_TIMER);
    EXPECT_EQ(c.timers().reconnect_delays,
              (std::vector<int>{5000, 7000, 9000, 11000, 13000, 15000, 17000, 19000, 21000, 23000,
                                25000, 27000, 29000, 31000, 31000}));
    EXPECT_EQ(c.engine().count("ConfigureCallParameters"), 15u);

    // A sound device in use: again after 1 s, each time.
    c.engine().results["ConfigureCallParameters"] = VXL_E_SOUND_OUTPUT_IN_USE;
    c.timers().fire(RECONNECT_TIMER);
    c.timers().fire(RECONNECT_TIMER);
    const auto& delays = c.timers().reconnect_delays;
    EXPECT_EQ(std::tuple(delays.end()[-2], delays.back()), std::tuple(1000, 1000));

    // Logged on, then the link is lost: 5 s again, and nothing while logging on.
    c.engine().results["ConfigureCallParameters"] = 0;
    c.timers().fire(RECONNECT_TIMER);
    c.timers().fire(RECONNECT_TIMER);
    EXPECT_EQ(c.engine().count("LogonToCallAgent"), 1u);
    log_on(c.engine());
    c.engine().raise([](IVXLCallback* s) { return s->Disconnected(VXL_DISCONNECT_LINK_DOWN); });
    deliver();
    EXPECT_EQ(std::tuple(delays.back(), c.reconnect_timeout()), std::tuple(5000, 7000));
}

TEST(control_states, status_line_and_repeated_states) {
    test_control c;
    EXPECT_EQ(c.GetStatusMessage(), "No server connection");
    EXPECT_EQ(c.GetButtonMessage(), "---");
    c.start();
    EXPECT_EQ(c.GetStatusMessage(), "Connecting...");
    log_on(c.engine());
    EXPECT_EQ(c.GetButtonMessage(), "Call");
    c.SetLDAPState(7);
    EXPECT_EQ(c.GetStatusMessage(), "Error in LDAP State!");

    // The same call state again: no event, the error stays.
    c.SetErrorState(1);
    auto shown = c.states.size();
    c.SetCallState(CALLSTATE_IDLE);
    EXPECT_EQ(std::tuple(c.states.size(), c.error()), std::tuple(shown, 1));
    // A new state clears it and names the number in dialable digits.
    c.caller_names["600"] = "Operator";
    c.SetCallState(CALLSTATE_DIALING, "(600)");
    EXPECT_EQ(std::tuple(c.error(), c.states.back(), c.custom_message(), c.GetButtonMessage()),
              std::tuple(-1, std::tuple(3, "600", "Operator"), "Calling Operator", "Hangup"));

    // Outside browser mode the directory state is not kept.
    test_control d;
    d.start("Voxline");
    d.SetLDAPState(2);
    EXPECT_EQ(d.ldap_state(), 0);
}

}  // namespace voxline::test
