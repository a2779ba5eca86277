// The main window on a fake control, with an application folder the lab
// wrote, its messages recorded and its login scripted: start-up errors, one
// session of ticks, states, links and recent numbers, and presence at the lab.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app_settings.h"
#include "atomic_file.h"
#include "control_loader.h"
#include "lab_launcher.h"
#include "main_window.h"

namespace voxline::test {
namespace {

using dialdeck::read_whole_file;
using dialdeck::startup_outcome;

constexpr const char* LAB_ADDRESS = "127.0.98.1";

struct WindowTest : testing::Test {
    static void SetUpTestSuite() {
        ::setenv("KESTREL_CONTROL", FAKE_CONTROL, 1);
        ASSERT_TRUE(lab_settings(s_template, LAB_ADDRESS, s_tls.path()));
    }
    void SetUp() override {
        std::filesystem::copy(s_template.path(), folder.path(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        settings = dialdeck::app_settings::load(folder.path());
        ASSERT_TRUE(settings);
        set("UpdateEnable", "false");
        // No pictures from the network here.
        for (const char* ad : {"Ad001", "Ad002"}) ASSERT_TRUE(settings->write("Ads", ad, ""));
        set("LDAP", std::string("0,") + LAB_ADDRESS + ",1");
    }
    void set(const char* key, const std::string& value) {
        ASSERT_TRUE(settings->write("Dialdeck", key, value));
    }
    // Changes some comma fields of a setting; a size of 0 keeps the count.
    void set_fields(const char* key, std::vector<std::pair<size_t, std::string>> changed,
                    size_t size = 0) {
        auto f = dialdeck::split_fields(settings->dialdeck(key));
        if (size) f.resize(size, "0");
        for (auto& [index, value] : changed) f.at(index) = value;
        std::string text;
        for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
        set(key, text);
    }
    startup_outcome start() {
        const auto loaded = dialdeck::load_control("");
        EXPECT_TRUE(loaded.control) << loaded.error;
        dialdeck::window_services services;
        services.message = [this](QWidget*, const auto& m) { messages.push_back(m); };
        services.login = [this](QWidget*, dialdeck::app_settings& s) {
            ++login_calls;
            if (!login_state.empty()) s.write("Dialdeck", "State", login_state);
            return login;
        };
        window = std::make_unique<dialdeck::MainWindow>(
            *settings, std::make_unique<dialdeck::phone_control>(loaded.control), services);
        return window->start();
    }
    std::string command(const char* name, const char* parameter = "") {
        char* out = nullptr;
        window->control().raw()->ExecuteCommand(name, parameter, "", &out);
        std::string text = out ? out : "";
        std::free(out);
        return text;
    }
    // The control reports a call state; the window handles it once the call returns.
    void fire(int state) {
        command("state", std::to_string(state).c_str());
        QCoreApplication::sendPostedEvents();
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) window->tick();
    }

    static inline temp_folder s_template, s_tls;
    temp_folder folder;
    std::optional<dialdeck::app_settings> settings;
    std::vector<dialdeck::window_message> messages;
    dialdeck::login_outcome login = dialdeck::login_outcome::no_login;
    std::string login_state;
    int login_calls = 0;
    std::unique_ptr<dialdeck::MainWindow> window;
};

TEST_F(WindowTest, DressingsWithTheWrongFieldCountEndTheProgram) {
    // window fields, button fields, the message (none when empty), the login ran
    const std::tuple<size_t, size_t, std::string, bool> rows[] = {
        {34, 41, "Initialization error 101", false},
        {36, 41, "Initialization error 101", false},
        {35, 40, "Initialization error 105", true},
        {35, 42, "Initialization error 105", true},
        {35, 41, "", true}};
    for (const auto& [window_fields, button_fields, text, logged_in] : rows) {
        SCOPED_TRACE(testing::Message() << window_fields << "/" << button_fields);
        SetUp();
        set_fields("WindowDressing", {{31, "0"}}, window_fields);  // no recent list
        set_fields("ButtonDressing", {}, button_fields);
        login_calls = 0;
        messages.clear();
        const auto outcome = start();
        EXPECT_EQ(outcome, text.empty() ? startup_outcome::shown : startup_outcome::exit_failed);
        EXPECT_EQ(dialdeck::exit_code_of(outcome), text.empty() ? 0 : 1);
        EXPECT_EQ(login_calls, logged_in ? 1 : 0);
        ASSERT_EQ(messages.size(), text.empty() ? 0u : 1u);
        for (const auto& m : messages)
            EXPECT_EQ(std::tuple(m.caption, m.text, m.kind),
                      std::tuple("Initializing...", text, dialdeck::window_message::icon::stop));
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
    EXPECT_EQ(window->duration_label()->text(), "Call Duration: 00:00:00");
    QTest::mouseClick(window->call_timer_button(), Qt::LeftButton);
    ticks(65);
    EXPECT_EQ(window->duration_label()->text(), "Call Duration: 00:01:05");
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
    EXPECT_EQ(window->duration_label()->text(), "Call Duration: 00:01:08");
    EXPECT_EQ(command("calls"), "CallNumber 700\n");
    EXPECT_TRUE(messages.empty());
    ticks(61);
    EXPECT_EQ(command("calls"),
              "CallNumber 700\nUpdateCallManager 0.0.0.0\n"
              "UpdateCallManager 0.0.0.0\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption + ": " + messages[0].text,
              "Disconnect: You have been logged out due to inactivity.\nClick Connect on the "
              "File menu to reconnect.");
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
    lab_process lab(LAB_ADDRESS, s_tls.path());
    ASSERT_TRUE(lab.ready());
    const std::string port = std::to_string(lab.directory_port);
    set("LDAP", std::string("1,") + LAB_ADDRESS + "," + port);
    login = dialdeck::login_outcome::logged_in;
    login_state =
        std::string("Alma,Berg,7001,0,a@b,1,,K7001,lab,ACC9,PIN9,") + LAB_ADDRESS + "," + port;
    ASSERT_EQ(start(), startup_outcome::shown);
    EXPECT_EQ(window->account_label()->text(), "Alma Berg - 7001");
    // Phone keys in the file are pushed as they are; missing ones keep the control's default.
    std::string pushed;
    for (const char* name : {"OverRideANI", "CASAccount", "CASPin", "MGCPPort", "FlashColor"})
        pushed += window->control().get(name) + ";";
    EXPECT_EQ(pushed, "false;ACC9;PIN9;2427;(never put);");

    ticks(28);
    QTest::qWait(200);
    EXPECT_TRUE(lab.requests().empty());
    ticks(1);
    (void)QTest::qWaitFor([&] { return !lab.requests().empty(); }, 10000);
    EXPECT_EQ(lab.requests(), lab.requests(23));  // the keep-alive alone
    EXPECT_EQ(lab.requests(), std::vector<std::string>{"7001"});
    window->close();  // its sign-off (21) is the end-to-end test's
    EXPECT_EQ(settings->reread("Dialdeck", "State"), "");
}

}  // namespace
}  // namespace voxline::test
