// Every engine event and status, raised off the GUI thread: what the sink
// answers at once and what the control shows once the GUI thread ran.
#include "control/state/state_fixture.h"

namespace voxline::test {

namespace {

using namespace kestrel;
using event = std::function<int32_t(IVXLCallback*)>;
using check = std::function<void(test_control&)>;

enum start_state { logging_on, plain_logging_on, idle, dialing, answering, connected };

void bring_to(test_control& c, start_state start) {
    if (start == logging_on) return c.start();
    if (start == plain_logging_on) return c.start("Voxline");
    c.log_on();
    if (start == dialing || start == connected) {
        c.type("600");
        c.PlaceCall();
    }
    if (start == connected) c.engine().raise([](IVXLCallback* s) { return s->Answered(); });
    if (start == answering) {
        c.engine().raise([](IVXLCallback* s) { return s->Ringing("5550100"); });
        deliver();
        c.AnswerRingingCall();
    }
    deliver();
}

// clang-format off
event tone(int32_t t) { return [t](IVXLCallback* s) { return s->PlayTone(t); }; }
event gone(int32_t r) { return [r](IVXLCallback* s) { return s->Disconnected(r); }; }
event status(int32_t v, int32_t p = 0) { return [=](IVXLCallback* s) { return s->Status(v, p); }; }
event generic(int32_t v, int32_t p) {
    return [=](IVXLCallback* s) { return s->GenericEvent(v, p, 0, "", "", nullptr, nullptr); };
}
event ringing(const char* n) { return [n](IVXLCallback* s) { return s->Ringing(n); }; }
const event logged_on = [](IVXLCallback* s) { return s->ConnectedToCallAgent(); };
const event refused = [](IVXLCallback* s) { return s->CallAgentRejectedConnection(); };
const event rollover = [](IVXLCallback* s) { return s->CallAgentRollover("10.0.0.2"); };
const event answered = [](IVXLCallback* s) { return s->Answered(); };
const event engine_line = [](IVXLCallback* s) { return s->MessagePrint(1, 0, "", "line 42"); };

check reconnect(int ms) { return [ms](test_control& c) { EXPECT_EQ(c.timers().delay(RECONNECT_TIMER), ms); }; }
check custom(const char* text) { return [text](test_control& c) { EXPECT_EQ(c.custom_message(), text); }; }
check echo(int ms) { return [ms](test_control& c) { EXPECT_EQ(c.echo_delay(), ms); }; }
check ldap(int state) { return [state](test_control& c) { EXPECT_EQ(c.ldap_state(), state); }; }
check last_shown(int state, const char* number) {
    return [=](test_control& c) { EXPECT_EQ(c.states.back(), std::make_tuple(state, number, "")); };
}
const check chat = [](test_control& c) { EXPECT_EQ(c.scripts, std::vector<std::string>{"InitialChatSession()"}); };
const check none = [](test_control&) {};

// Name, start, events: the last one's answer, call state, call manager state,
// error, status, and what else to check.
using event_row = std::tuple<const char*, start_state, std::vector<event>, int32_t, int, int, int,
                             const char*, check>;
const event_row rows[] = {
    {"log-on completes", logging_on, {logged_on}, 0, 2, 3, -1, "Idle", ldap(0)},
    {"log-on while connected", connected, {logged_on}, 0, 4, 3, -1, "Connected", none},
    {"refused, session ends", logging_on, {refused, gone(3)}, 0, 0, 1, -1,
        "Server refused connection", reconnect(5000)},
    {"rollover", logging_on, {refused, gone(3), rollover}, 0, 0, 1, -1, "No server connection",
        [](test_control& c) { EXPECT_EQ(c.current_call_manager(), "10.0.0.2"); }},
    {"busy tone", dialing, {tone(VXL_TONE_BUSY)}, 1, 7, 3, -1, "Number busy", last_shown(7, "600")},
    {"reorder tone", dialing, {tone(VXL_TONE_REORDER)}, 1, 8, 3, -1, "Invalid number", none},
    {"low balance tone", idle, {tone(VXL_TONE_LOW_BALANCE_WARNING_TONE)}, 0, 2, 3, 14,
        "Account Balance Low!", none},
    // Outside browser mode the engine plays it itself.
    {"low balance tone, plain", plain_logging_on, {tone(VXL_TONE_LOW_BALANCE_WARNING_TONE)}, 1,
        1, 2, 14, "Account Balance Low!", none},
    {"ring-back tone", dialing, {tone(VXL_TONE_ALERTING)}, 1, 3, 3, -1, "Dialing...", none},
    {"ringing", idle, {ringing("555-0100")}, 0, 6, 3, -1, "Incoming Call",
        custom("Call from 5550100")},
    {"ringing, no number", idle, {ringing("")}, 0, 6, 3, -1, "Incoming Call",
        custom("Call from unknown caller")},
    {"answered", dialing, {answered}, 0, 4, 3, -1, "Connected", last_shown(4, "600")},
    {"call ends", connected, {gone(0)}, 0, 2, 3, -1, "Idle", last_shown(2, "")},
    {"link down", idle, {gone(1)}, 0, 0, 1, -1, "No server connection", reconnect(5000)},
    {"call agent gone", connected, {gone(3)}, 0, 0, 1, -1, "No server connection",
        reconnect(5000)},
    {"reason 2", connected, {gone(2)}, 0, 4, 3, -1, "Connected", reconnect(-1)},
    {"engine line", idle, {engine_line}, 0, 2, 3, -1, "Idle", [](test_control& c) {
        EXPECT_NE(read_file(c.log().file()).find("line 42"), std::string::npos); }},
    {"mic level", idle, {generic(VXL_EVENT_MIC_LEVEL, 40)}, 0, 2, 3, -1, "Idle", echo(-1)},
    {"echo delay", idle, {generic(VXL_EVENT_ECHO_DELAY, 120)}, 0, 2, 3, -1, "Idle", echo(120)},
    {"behind NAT", idle, {generic(VXL_EVENT_BEHIND_NAT, 0)}, 0, 2, 3, -1, "Idle", none},
    {"status 1", idle, {status(1)}, 0, 2, 3, -1, "Idle", ldap(1)},
    {"status 2", idle, {status(2)}, 0, 2, 3, -1, "No LDAP connection", ldap(2)},
    {"status 3", idle, {status(3)}, 0, 0, 1, 16, "Account in use", reconnect(5000)},
    {"status 4", idle, {status(4)}, 0, 2, 3, -1, "Account in use", ldap(4)},
    {"status 5", idle, {status(5)}, 0, 2, 3, 18, "Invalid Billing Info", none},
    {"status 6, dialing", dialing, {status(6, VXL_E_SOUND_NO_DEVICE)}, 0, 2, 3, 5,
        "Audio unavailable", chat},
    {"status 6, answering", answering, {status(6, VXL_E_SOUND_INPUT_IN_USE)}, 0, 6, 3, 8,
        "Record device in use", [](test_control& c) {
            EXPECT_EQ(c.dialogs.at(0), "Audio device in use|The audio|OK"); }},
    {"status 7", idle, {status(7)}, 0, 2, 3, 21, "No UDP Port available", chat},
    {"status 8", idle, {status(8)}, 0, 2, 3, 22, "No Proxy Connection", none},
    {"status 9", idle, {status(9)}, 0, 2, 3, -1, "Idle", none},
};
// clang-format on

}  // namespace

TEST(engine_events, each_event_and_status_row) {
    for (const auto& [name, start, events, answer, call, call_manager, error, status, also] :
         rows) {
        SCOPED_TRACE(name);
        test_control c;
        bring_to(c, start);
        int32_t last = -2;
        for (const auto& e : events) {
            last = c.engine().raise(e);
            deliver();
        }
        EXPECT_EQ(std::tuple(last, c.call_state(), c.call_manager_state(), c.error(),
                             c.GetStatusMessage()),
                  std::tuple(answer, call, call_manager, error, status));
        also(c);
    }
}

// The sink a reconfiguration or the control's end left behind answers on its
// own, and what it had queued for the GUI thread is dropped.
TEST(engine_events, a_detached_sink_answers_alone_and_its_queued_events_are_dropped) {
    auto pool = std::make_shared<engine_pool>();  // the engine outlives the control
    auto c = std::make_unique<test_control>(pool);
    c->log_on();
    fake_engine& engine = c->engine();
    IVXLCallback* old_sink = engine.sink();
    engine.raise(gone(VXL_DISCONNECT_LINK_DOWN));  // queued, not yet run
    c->ConfigureCallManager();                     // a fresh sink
    auto shown = c->states.size();
    EXPECT_EQ(old_sink->PlayTone(VXL_TONE_LOW_BALANCE_WARNING_TONE), 1);
    EXPECT_EQ(generic(VXL_EVENT_ECHO_DELAY, 9)(old_sink), 1);
    EXPECT_EQ(old_sink->ConnectedToCallAgent(), 0);
    EXPECT_EQ(old_sink->Status(3, 0), 0);
    deliver();
    EXPECT_EQ(std::tuple(c->states.size(), c->call_manager_state(),
                         c->timers().delay(RECONNECT_TIMER), c->echo_delay()),
              std::tuple(shown, CMSTATE_LOGGING_ON, -1, -1));
    old_sink->Release();

    // Destroyed with an event in flight: the engine's sink still answers.
    engine.raise(ringing("600"));
    c.reset();
    deliver();
    EXPECT_EQ(engine.raise(tone(VXL_TONE_BUSY)), 1);
    EXPECT_EQ(engine.raise(ringing("601")), 0);
}

}  // namespace voxline::test
