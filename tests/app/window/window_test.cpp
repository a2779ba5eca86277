// The main window on a fake control: start-up errors, one session of ticks,
// states, links and recent numbers, and presence at the lab.
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

using dialdeck::read_whole_file;
using dialdeck::startup_outcome;

TEST_F(WindowTest, DressingsWithTheWrongFieldCountEndTheProgram) {
    struct row {
        size_t window_fields, button_fields;
        const char* text;  // the message, none when empty
        bool logged_in;    // the login ran
    };
    for (const row& r : {row{34, 41, "Initialization error 101", false},
                         row{36, 41, "Initialization error 101", false},
                         row{35, 40, "Initialization error 105", true},
                         row{35, 42, "Initialization error 105", true}, row{35, 41, "", true}}) {
        SCOPED_TRACE(testing::Message() << r.window_fields << "/" << r.button_fields);
        SetUp();
        set_fields("WindowDressing", {{31, "0"}}, r.window_fields);  // no recent list
        set_fields("ButtonDressing", {}, r.button_fields);
        login_calls = 0;
        const auto outcome = start();
        EXPECT_EQ(outcome, *r.text ? startup_outcome::exit_failed : startup_outcome::shown);
        EXPECT_EQ(dialdeck::exit_code_of(outcome), *r.text ? 1 : 0);
        EXPECT_EQ(login_calls, r.logged_in ? 1 : 0);
        ASSERT_EQ(messages.size(), *r.text ? 1u : 0u);
        if (*r.text) {
            EXPECT_EQ(messages[0].text, r.text);
            EXPECT_EQ(messages[0].caption, "Initializing...");
            EXPECT_EQ(messages[0].kind, dialdeck::window_message::icon::stop);
            messages.clear();
        }
    }
    // The recent list switched off leaves the file alone.
    const std::string file = folder.path() + "ayahuasca.dat";
    ASSERT_TRUE(dialdeck::write_whole_file(file, "555;\n"));
    command("last-ten", "700;");
    fire(KESTREL_STATE_IDLE);
    EXPECT_EQ(read_whole_file(file), "555;\n");
}

TEST_F(WindowTest, OneSessionOfLinksStatesTicksAndRecentNumbers) {
    const std::string file = folder.path() + "ayahuasca.dat", log = folder.path() + "urls.log";
    ASSERT_TRUE(dialdeck::write_whole_file(file, "555;\n600;"));
    ::setenv("DIALDECK_URL_LOG", log.c_str(), 1);
    set("URLAccount", "https://op.example/acct?pin=[pinNumber]&x=[pinNumber]");
    set("URLBalance", "");
    // A link button, and the call timer button: manual mode.
    set_fields("ButtonDressing",
               {{2, "90"}, {3, "20"}, {4, "Mine"}, {5, "http://op.example/b?p=[pinNumber]"}});
    set_fields("ButtonDressing", {{36, "5"}, {37, "5"}, {38, "80"}, {39, "20"}, {40, "Go"}});
    set("Timer", "10");
    set("Idle", "1");
    set("State", "4242");  // without the directory: the ANI digits
    ASSERT_EQ(start(), startup_outcome::shown);

    window->open_setting_link("URLAccount");
    window->open_setting_link("URLBalance");
    QTest::mouseClick(window->link_button(0), Qt::LeftButton);
    ::unsetenv("DIALDECK_URL_LOG");
    EXPECT_EQ(read_whole_file(log),
              "https://op.example/acct?pin=4242&x=4242\nhttp://op.example/b?p=4242\n");
    EXPECT_EQ(window->link_button(0)->width(), 90);

    // Idle merges the dialled numbers into the file, the menu dials them.
    command("last-ten", "600;700;;;;;;;;;");
    fire(KESTREL_STATE_IDLE);
    EXPECT_EQ(read_whole_file(file), "700;\n600;\n555;\n");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    QMenu* file_menu = window->menuBar()->findChildren<QMenu*>().at(0);
    const auto recent_action = [&]() -> QAction* {
        for (QAction* a : file_menu->actions())
            if (a->text() == "700") return a;
        return nullptr;
    };
    ASSERT_TRUE(recent_action());
    recent_action()->trigger();
    EXPECT_EQ(command("calls"), "CallNumber 700\n");

    // Manual mode counts from the button only, without the offset; a call
    // never counts as inactivity.
    fire(KESTREL_STATE_CONNECTED);
    ticks(3);
    EXPECT_EQ(duration(), "Call Duration: 00:00:00");
    QTest::mouseClick(window->call_timer_button(), Qt::LeftButton);
    ticks(65);
    EXPECT_EQ(duration(), "Call Duration: 00:01:05");
    EXPECT_EQ(command("calls"), "CallNumber 700\n");

    // An incoming call flashes until the next state, a missed call's Idle too.
    for (int next : {KESTREL_STATE_ANSWERING, KESTREL_STATE_DISCONNECTING, KESTREL_STATE_IDLE}) {
        fire(KESTREL_STATE_INCOMING_CALL);
        ticks(1);
        EXPECT_TRUE(window->flashing());
        fire(next);
        EXPECT_FALSE(window->flashing()) << next;
    }
    // Idle stopped the timer and starts the one-minute inactivity count:
    // logged out at 60 s and every minute on, with one message.
    ticks(59);
    EXPECT_EQ(duration(), "Call Duration: 00:01:08");
    EXPECT_EQ(command("calls"), "CallNumber 700\n");
    EXPECT_TRUE(messages.empty());
    ticks(61);
    EXPECT_EQ(command("calls"),
              "CallNumber 700\nUpdateCallManager 0.0.0.0\n"
              "UpdateCallManager 0.0.0.0\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Disconnect");
    EXPECT_EQ(messages[0].text,
              "You have been logged out due to inactivity.\nClick Connect on the File "
              "menu to reconnect.");
    EXPECT_EQ(settings->reread("Dialdeck", "State"), "");

    set("State", "4242");
    window->disconnect_from_server();
    EXPECT_EQ(settings->reread("Dialdeck", "State"), "");
    window->connect_to_server();
    const std::string configured = settings->value("Phone", "CallManager");
    ASSERT_FALSE(configured.empty());
    EXPECT_EQ(command("calls"),
              "CallNumber 700\nUpdateCallManager 0.0.0.0\nUpdateCallManager "
              "0.0.0.0\nUpdateCallManager 0.0.0.0\nUpdateCallManager " +
                  configured + "\n");

    window->clear_recent_numbers();
    EXPECT_EQ(read_whole_file(file), "");
    EXPECT_FALSE(recent_action());
}

TEST_F(WindowTest, TheDirectoryAccountIsPushedAndKeptAliveAtTheLab) {
    lab_process lab(LAB_ADDRESS, s_tls->path());
    ASSERT_TRUE(lab.ready());
    const std::string port = std::to_string(lab.directory_port);
    set("LDAP", std::string("1,") + LAB_ADDRESS + "," + port);
    login = dialdeck::login_outcome::logged_in;
    login_state =
        std::string("Alma,Berg,7001,0,a@b,1,,K7001,lab,ACC9,PIN9,") + LAB_ADDRESS + "," + port;
    ASSERT_EQ(start(), startup_outcome::shown);
    EXPECT_EQ(property("OverRideANI"), "false");
    EXPECT_EQ(property("CASAccount"), "ACC9");
    EXPECT_EQ(property("CASPin"), "PIN9");
    EXPECT_EQ(property("CallerIDName"), "Alma Berg");
    EXPECT_EQ(window->account_label()->text(), "Alma Berg - 7001");
    // Phone keys in the file are pushed as they are; missing ones keep the control's default.
    EXPECT_EQ(property("MGCPPort"), "2427");
    EXPECT_EQ(property("FlashColor"), "(never put)");

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
}

}  // namespace
}  // namespace voxline::test
