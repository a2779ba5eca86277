// The main window on a fake control, with an application folder the lab wrote,
// its messages recorded and its login scripted: start-up errors, one session of
// ticks, states, links and recent numbers, and presence at the lab; then the
// window's texts and files (dressings, recent numbers, links, the clock).
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app_settings.h"
#include "atomic_file.h"
#include "call_clock.h"
#include "control_loader.h"
#include "dressing.h"
#include "lab_launcher.h"
#include "link_opener.h"
#include "main_window.h"
#include "recent_numbers.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

constexpr const char* LAB_ADDRESS = "127.0.98.1";

struct WindowTest : testing::Test {
    static void SetUpTestSuite() {
        ::setenv("KESTREL_CONTROL", FAKE_CONTROL, 1);
        ASSERT_TRUE(lab_settings(s_template, LAB_ADDRESS));
    }
    void SetUp() override {
        std::filesystem::copy(s_template.path(), folder.path(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        settings = app_settings::load(folder.path());
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
        auto f = split_fields(settings->dialdeck(key));
        if (size) f.resize(size, "0");
        for (auto& [index, value] : changed) f.at(index) = value;
        std::string text;
        for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
        set(key, text);
    }
    startup_outcome start() {
        const auto loaded = load_control("");
        EXPECT_TRUE(loaded.control) << loaded.error;
        window_services services;
        services.message = [this](QWidget*, const auto& m) { messages.push_back(m); };
        services.login = [this](QWidget*, app_settings& s) {
            ++login_calls;
            if (!login_state.empty()) s.write("Dialdeck", "State", login_state);
            return login;
        };
        window = std::make_unique<MainWindow>(
            *settings, std::make_unique<phone_control>(loaded.control), services);
        const startup_outcome outcome = window->start();
        // The test ticks by hand: the window's own one-second timer stays still.
        for (auto* timer : window->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) timer->stop();
        return outcome;
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

    static inline temp_folder s_template;
    temp_folder folder;
    std::optional<app_settings> settings;
    std::vector<window_message> messages;
    login_outcome login = login_outcome::no_login;
    std::string login_state;
    int login_calls = 0;
    std::unique_ptr<MainWindow> window;
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
        EXPECT_EQ(exit_code_of(outcome), text.empty() ? 0 : 1);
        EXPECT_EQ(login_calls, logged_in ? 1 : 0);
        ASSERT_EQ(messages.size(), text.empty() ? 0u : 1u);
        for (const auto& m : messages)
            EXPECT_EQ(std::tuple(m.caption, m.text, m.kind),
                      std::tuple("Initializing...", text, window_message::icon::stop));
    }
    // The recent list switched off leaves the file alone.
    const std::string file = folder.path() + "ayahuasca.dat";
    ASSERT_TRUE(write_whole_file(file, "555;\n"));
    command("last-ten", "700;");
    fire(KESTREL_STATE_IDLE);
    EXPECT_EQ(read_whole_file(file), "555;\n");
}

TEST_F(WindowTest, OneSessionOfLinksStatesTicksAndRecentNumbers) {
    const std::string file = folder.path() + "ayahuasca.dat", log = folder.path() + "urls.log";
    ASSERT_TRUE(write_whole_file(file, "555;\n600;"));
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
    lab_process lab(LAB_ADDRESS);
    ASSERT_TRUE(lab.ready());
    const std::string port = std::to_string(lab.directory_port);
    set("LDAP", std::string("1,") + LAB_ADDRESS + "," + port);
    login = login_outcome::logged_in;
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

TEST(WindowText, RecentNumberFileReadsBothSeparatorsWithinItsSize) {
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"555;600;", {"555", "600"}},
        {"555;\n600;\r\n700", {"555", "600", "700"}},
        {";;\n;555;", {"555"}},
        {"55\0015;600;", {"600"}},  // a control byte spoils its entry
        {"1;2;3;4;5;6;7;8;9;10;11;12;", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {std::string(510, '9') + ";600;", {std::string(510, '9')}},
        {std::string(600, '1'), {}}};
    for (const auto& [text, numbers] : rows)
        EXPECT_EQ(parse_recent_numbers(text), numbers) << text.substr(0, 40);
    // Whole entries only, never past 512 bytes; the session test writes the usual file.
    EXPECT_EQ(recent_numbers_text({std::string(505, '9'), "600", "7"}),
              std::string(505, '9') + ";\n600;\n");
}

TEST(WindowText, DialledNumbersGoToTheFrontOnce) {
    // the list, the control's last ten, the list after
    const std::tuple<std::vector<std::string>, const char*, std::vector<std::string>> rows[] = {
        {{"555"}, "600;;;;;;;;;;", {"600", "555"}},
        {{"x1", "555"}, "X1;", {"X1", "555"}},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
         "11;",
         {"11", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const auto& [list, last_ten, merged] : rows)
        EXPECT_EQ(merge_recent_numbers(list, last_ten), merged) << last_ten;
}

// The field counts are the window tests' to check.
TEST(WindowText, DressingFieldsInTheirPlaces) {
    const auto d = parse_window_dressing(
        "640,480,Dialdeck,300,200,10,20,30,40,1,2,300,1,0,1,0,1,1,0,1,5,6,0,7,8,1,9,10,-5,128,255,"
        "1,1,0,1");
    ASSERT_TRUE(d);
    EXPECT_EQ(
        std::tuple(d->caption, d->ad.width, d->background.blue, d->label_text.red, d->account.y),
        std::tuple("Dialdeck", 30, 255, 0, 10));  // 300 is no colour
    EXPECT_TRUE(d->close && d->always_on_top && d->options && d->help_topics && d->recent_list);
    EXPECT_FALSE(d->tuning_wizard || d->about || d->call_duration.shown || d->view_balance);
    EXPECT_TRUE(d->date_time.shown);

    std::string buttons;
    for (int i = 0; i < 6; ++i) buttons += "1,2,3,4,B,http://u/" + std::to_string(i) + ",";
    buttons += "5,6,70,8,Start";
    const auto b = parse_button_dressing(buttons);
    ASSERT_TRUE(b);
    EXPECT_EQ(std::tuple(b->links[5].url, b->links[0].where.width, b->call_timer.where.width,
                         b->call_timer.caption),
              std::tuple("http://u/5", 3, 70, "Start"));
}

TEST(WindowText, CallDurationAfterTheOffset) {
    const std::tuple<const char*, long long, const char*> rows[] = {
        {"HH:MM", 3723, "Call Duration: 01:02"},
        {"xx:MM:SS", 3723, ":02:03"},
        {"HH:MM:SS", 360000, "Call Duration: 100:00:00"}};
    for (const auto& [format, seconds, shown] : rows)
        EXPECT_EQ(duration_text(format, seconds), shown) << format;
    // Automatic mode with a 10 s offset shows nothing for 9 s, then counts from 0.
    call_timer timer(10);
    EXPECT_FALSE(timer.tick());
    timer.start();
    for (int i = 1; i < 10; ++i) EXPECT_FALSE(timer.tick()) << i;
    EXPECT_EQ(timer.tick(), 0);
    EXPECT_EQ(timer.tick(), 1);
    timer.stop();
    EXPECT_FALSE(timer.tick());
    // Under one minute the window never logs out by itself.
    idle_limit never(0);
    never.enable(true);
    for (int i = 0; i < 3600; ++i) ASSERT_FALSE(never.tick());
}

TEST(WindowText, PinNumberAndClock) {
    EXPECT_EQ(with_pin_number("a?p=[pinNumber]", "[pinNumber]"), "a?p=[pinNumber]");
    EXPECT_EQ(with_pin_number("http://x/[pin]", "42"), "http://x/[pin]");
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 7, t.tm_hour = 15, t.tm_min = 4, t.tm_sec = 5;
    t.tm_wday = 1;
    EXPECT_EQ(clock_text(t), "Mon Dec 07, 2026 03:04:05 PM");
}

}  // namespace
}  // namespace voxline::test
