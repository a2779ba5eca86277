// The error, status and reconnection rules of the control's states.
#include <gtest/gtest.h>

#include "control/state/state_fixture.h"

namespace voxline::test {

using namespace kestrel;

TEST(control_states, error_priorities) {
    struct row {
        int current;
        int next;
        int result;
        bool chat;  // the page's chat session is opened
    };
    const row rows[] = {
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
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.current) + " then " + std::to_string(r.next));
        test_control c;
        c.SetErrorState(r.current);
        c.scripts.clear();
        c.SetErrorState(r.next);
        EXPECT_EQ(c.error(), r.result);
        EXPECT_EQ(c.scripts.size(), r.chat ? 1u : 0u);
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
    auto pool = std::make_shared<engine_pool>();
    pool->results["ConfigureCallParameters"] = VXL_E_FAIL;
    test_control c(pool);
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
    EXPECT_EQ(c.timers().reconnect_delays.end()[-2], 1000);
    EXPECT_EQ(c.timers().reconnect_delays.back(), 1000);

    // Logged on, then the link is lost: 5 s again, and nothing while logging on.
    c.engine().results["ConfigureCallParameters"] = 0;
    c.timers().fire(RECONNECT_TIMER);
    c.timers().fire(RECONNECT_TIMER);
    EXPECT_EQ(c.engine().count("LogonToCallAgent"), 1u);
    c.engine().raise([](IVXLCallback* s) { return s->ConnectedToCallAgent(); });
    c.engine().raise([](IVXLCallback* s) { return s->Disconnected(VXL_DISCONNECT_LINK_DOWN); });
    test_control::deliver();
    EXPECT_EQ(c.timers().reconnect_delays.back(), 5000);
    EXPECT_EQ(c.reconnect_timeout(), 7000);
}

TEST(control_states, status_line_and_repeated_states) {
    test_control c;
    EXPECT_EQ(c.GetStatusMessage(), "No server connection");
    EXPECT_EQ(c.GetButtonMessage(), "---");
    c.start();
    EXPECT_EQ(c.GetStatusMessage(), "Connecting...");
    c.engine().raise([](IVXLCallback* s) { return s->ConnectedToCallAgent(); });
    test_control::deliver();
    EXPECT_EQ(c.GetButtonMessage(), "Call");
    c.SetLDAPState(7);
    EXPECT_EQ(c.GetStatusMessage(), "Error in LDAP State!");

    // The same call state again: no event, the error stays.
    c.SetErrorState(1);
    auto shown = c.states.size();
    c.SetCallState(CALLSTATE_IDLE);
    EXPECT_EQ(c.states.size(), shown);
    EXPECT_EQ(c.error(), 1);
    // A new state clears it and names the number in dialable digits.
    c.caller_names["600"] = "Operator";
    c.SetCallState(CALLSTATE_DIALING, "(600)");
    EXPECT_EQ(c.error(), -1);
    EXPECT_EQ(c.states.back(), std::make_tuple(3, "600", "Operator"));
    EXPECT_EQ(c.custom_message(), "Calling Operator");
    EXPECT_EQ(c.GetButtonMessage(), "Hangup");

    // Outside browser mode the directory state is not kept.
    test_control d;
    d.start("Voxline");
    d.SetLDAPState(2);
    EXPECT_EQ(d.ldap_state(), 0);
}

}  // namespace voxline::test
