// The main window on a fake control: start-up errors, the one-second tick,
// state changes, recent numbers, links and presence at the lab.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "atomic_file.h"
#include "window_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::startup_outcome;

TEST_F(WindowTest, DressingsWithTheWrongFieldCountEndTheProgram) {
    struct row {
        size_t window_fields, button_fields;
        startup_outcome outcome;
        const char* text;  // the message, none when empty
        bool logged_in;    // the login ran
    };
    for (const row& r :
         {row{34, 41, startup_outcome::exit_failed, "Initialization error 101", false},
          row{36, 41, startup_outcome::exit_failed, "Initialization error 101", false},
          row{35, 40, startup_outcome::exit_failed, "Initialization error 105", true},
          row{35, 42, startup_outcome::exit_failed, "Initialization error 105", true},
          row{35, 41, startup_outcome::shown, "", true}}) {
        SCOPED_TRACE(testing::Message() << r.window_fields << "/" << r.button_fields);
        SetUp();
        set_fields("WindowDressing", {}, r.window_fields);
        set_fields("ButtonDressing", {}, r.button_fields);
        login_calls = 0;
        const auto outcome = start();
        EXPECT_EQ(outcome, r.outcome);
        EXPECT_EQ(dialdeck::exit_code_of(outcome), *r.text ? 1 : 0);
        EXPECT_EQ(login_calls, r.logged_in ? 1 : 0);
        if (*r.text) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, r.text);
            EXPECT_EQ(messages[0].caption, "Initializing...");
            EXPECT_EQ(messages[0].kind, dialdeck::window_message::icon::stop);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        messages.clear();
    }
}

TEST_F(WindowTest, DirectoryAccountIsPushedAfterThePhoneSettings) {
    set("LDAP", std::string("1,") + LAB_ADDRESS + ",1");
    login = dialdeck::login_outcome::logged_in;
    login_state = "Alma,Berg,7001,0,a@b,1,,K7001,lab,ACC9,PIN9,127.0.0.1,2740";
    ASSERT_EQ(start(), startup_outcome::shown);
    EXPECT_EQ(property("OverRideANI"), "false");
    EXPECT_EQ(property("CASAccount"), "ACC9");
    EXPECT_EQ(property("CASPin"), "PIN9");
    EXPECT_EQ(property("CallerIDName"), "Alma Berg");
    EXPECT_EQ(property("PhoneNumber"), "7001");
    EXPECT_EQ(window->account_label()->text(), "Alma Berg - 7001");
    // Phone keys in the file are pushed as they are; missing ones keep the control's default.
    EXPECT_EQ(property("MGCPPort"), "2427");
    EXPECT_EQ(property("FlashColor"), "(never put)");
}

TEST_F(WindowTest, CallDurationFollowsFormatAndOffset) {
    struct row {
        const char* format;
        int offset, seconds;
        const char* shown;
    };
    for (const row& r :
         {row{"HH:MM:SS", 0, 3723, "Call Duration: 01:02:03"},
          row{"HH:MM:SS", 10, 3733, "Call Duration: 01:02:03"}, row{"HH:MM:SS", 10, 9, ""},
          row{"HH:MM:SS", 10, 10, "Call Duration: 00:00:00"},
          row{"HH:MM", 0, 3723, "Call Duration: 01:02"}, row{"xx:MM:SS", 0, 3723, ":02:03"},
          row{"HH:MM:SS", 0, 360000, "Call Duration: 100:00:00"}}) {
        SCOPED_TRACE(testing::Message() << r.format << " " << r.offset << " " << r.seconds);
        set("CallDurationFormat", r.format);
        set("Timer", std::to_string(r.offset));
        ASSERT_EQ(start(), startup_outcome::shown);
        fire(KESTREL_STATE_CONNECTED);
        ticks(r.seconds);
        EXPECT_EQ(duration(), r.shown);
        // Idle stops the count.
        fire(KESTREL_STATE_IDLE);
        const std::string shown = duration();
        ticks(5);
        EXPECT_EQ(duration(), shown);
    }
}

TEST_F(WindowTest, ManualModeCountsOnlyFromTheButton) {
    set_fields("ButtonDressing", {{36, "5"}, {37, "5"}, {38, "80"}, {39, "20"}, {40, "Go"}});
    set("Timer", "10");
    ASSERT_EQ(start(), startup_outcome::shown);
    fire(KESTREL_STATE_CONNECTED);
    ticks(3);
    EXPECT_EQ(duration(), "Call Duration: 00:00:00");
    QTest::mouseClick(window->call_timer_button(), Qt::LeftButton);
    // The offset is for automatic mode only.
    ticks(5);
    EXPECT_EQ(duration(), "Call Duration: 00:00:05");
}

TEST_F(WindowTest, InactivityLogsOutWithOneMessage) {
    struct row {
        const char* idle;
        int seconds;
        bool connected_between;  // a call in between stops the count
        int logouts;
    };
    for (const row& r : {row{"1", 60, false, 1}, row{"1", 59, false, 0}, row{"1", 120, false, 2},
                         row{"1", 120, true, 0}, row{"0", 3600, false, 0}}) {
        SCOPED_TRACE(testing::Message() << r.idle << " " << r.seconds);
        messages.clear();
        set("Idle", r.idle);
        set("State", "4242");
        ASSERT_EQ(start(), startup_outcome::shown);
        fire(KESTREL_STATE_IDLE);
        if (r.connected_between) fire(KESTREL_STATE_CONNECTED);
        ticks(r.seconds);
        std::string expected;
        for (int i = 0; i < r.logouts; ++i) expected += "UpdateCallManager 0.0.0.0\n";
        EXPECT_EQ(command("calls"), expected);
        ASSERT_EQ(messages.size(), r.logouts ? 1u : 0u);
        if (r.logouts) {
            EXPECT_EQ(messages[0].caption, "Disconnect");
            EXPECT_EQ(messages[0].text,
                      "You have been logged out due to inactivity.\nClick Connect on the File "
                      "menu to reconnect.");
            EXPECT_EQ(settings->reread("Dialdeck", "State"), "");
        }
    }
}

TEST_F(WindowTest, DisconnectAndConnectApplyTheCallManager) {
    set("State", "4242");
    ASSERT_EQ(start(), startup_outcome::shown);
    const std::string configured = settings->value("Phone", "CallManager");
    ASSERT_FALSE(configured.empty());
    window->disconnect_from_server();
    EXPECT_EQ(settings->reread("Dialdeck", "State"), "");
    window->connect_to_server();
    EXPECT_EQ(command("calls"),
              "UpdateCallManager 0.0.0.0\nUpdateCallManager " + configured + "\n");
}

TEST_F(WindowTest, IncomingCallFlashesUntilTheNextState) {
    ASSERT_EQ(start(), startup_outcome::shown);
    for (int next : {KESTREL_STATE_ANSWERING, KESTREL_STATE_IDLE, KESTREL_STATE_DISCONNECTING}) {
        fire(KESTREL_STATE_INCOMING_CALL);
        ticks(3);
        EXPECT_TRUE(window->flashing());
        fire(next);
        EXPECT_FALSE(window->flashing()) << next;
    }
}

TEST_F(WindowTest, RecentNumbersMergeIntoTheFileAndDial) {
    const std::string file = folder.path() + "ayahuasca.dat";
    ASSERT_TRUE(dialdeck::write_whole_file(file, "555;\n600;"));
    ASSERT_EQ(start(), startup_outcome::shown);
    command("last-ten", "600;700;;;;;;;;;");
    fire(KESTREL_STATE_IDLE);
    EXPECT_EQ(dialdeck::read_whole_file(file), "700;\n600;\n555;\n");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    QMenu* file_menu = window->menuBar()->findChildren<QMenu*>().at(0);
    QAction* newest = nullptr;
    for (QAction* a : file_menu->actions())
        if (a->text() == "700") newest = a;
    ASSERT_TRUE(newest);
    newest->trigger();
    EXPECT_EQ(command("calls"), "CallNumber 700\n");

    window->clear_recent_numbers();
    EXPECT_EQ(dialdeck::read_whole_file(file), "");
    for (QAction* a : file_menu->actions()) EXPECT_NE(a->text(), "700");
}

TEST_F(WindowTest, RecentListSwitchedOffLeavesTheFile) {
    const std::string file = folder.path() + "ayahuasca.dat";
    ASSERT_TRUE(dialdeck::write_whole_file(file, "555;\n"));
    set_fields("WindowDressing", {{31, "0"}});
    ASSERT_EQ(start(), startup_outcome::shown);
    command("last-ten", "700;");
    fire(KESTREL_STATE_IDLE);
    EXPECT_EQ(dialdeck::read_whole_file(file), "555;\n");
}

TEST_F(WindowTest, LinksFillInThePinNumber) {
    const std::string log = folder.path() + "urls.log";
    ::setenv("DIALDECK_URL_LOG", log.c_str(), 1);
    set("URLAccount", "https://op.example/acct?pin=[pinNumber]&x=[pinNumber]");
    set("URLRates", "https://op.example/rates");
    set("URLBalance", "");
    set_fields("ButtonDressing",
               {{2, "90"}, {3, "20"}, {4, "Mine"}, {5, "http://op.example/b?p=[pinNumber]"}});
    set("State", "4242");  // without the directory: the ANI digits
    ASSERT_EQ(start(), startup_outcome::shown);
    window->open_setting_link("URLAccount");
    window->open_setting_link("URLRates");
    window->open_setting_link("URLBalance");
    QTest::mouseClick(window->link_button(0), Qt::LeftButton);
    ::unsetenv("DIALDECK_URL_LOG");
    EXPECT_EQ(dialdeck::read_whole_file(log),
              "https://op.example/acct?pin=4242&x=4242\n"
              "https://op.example/rates\n"
              "http://op.example/b?p=4242\n");
    EXPECT_EQ(window->link_button(0)->width(), 90);
}

TEST_F(WindowTest, PresenceKeepAliveAndLogOffReachTheDirectory) {
    lab_process lab(LAB_ADDRESS, s_tls->path());
    ASSERT_TRUE(lab.ready());
    const std::string port = std::to_string(lab.directory_port);
    set("LDAP", std::string("1,") + LAB_ADDRESS + "," + port);
    login = dialdeck::login_outcome::logged_in;
    login_state =
        std::string("Alma,Berg,7001,0,a@b,1,,K7001,lab,ACC,PIN,") + LAB_ADDRESS + "," + port;
    ASSERT_EQ(start(), startup_outcome::shown);
    const auto codes = [&] {
        std::vector<int> out;
        for (const auto& r : lab.requests()) out.push_back(r.toObject().value("code").toInt());
        return out;
    };
    const auto wait_for = [&](size_t count) {
        (void)QTest::qWaitFor([&] { return codes().size() >= count; }, 10000);
    };
    ticks(28);
    QTest::qWait(200);
    EXPECT_TRUE(codes().empty());
    ticks(1);
    wait_for(1);
    EXPECT_EQ(codes(), std::vector<int>{23});
    window->close();
    wait_for(2);
    EXPECT_EQ(codes(), (std::vector<int>{23, 21}));
    EXPECT_EQ(settings->reread("Dialdeck", "State"), "");
    const auto presence = lab.command("presence").value("presence").toObject();
    EXPECT_FALSE(presence.value("7001").toObject().value("seen").isNull());
}

}  // namespace
}  // namespace voxline::test
