// Prefixes, login settings and the account record as pure functions; the login
// dialog, the account page and the start-up flow against the lab's directory,
// the PIN page answering from a list.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "account_page.h"
#include "account_prefix.h"
#include "account_record.h"
#include "lab_launcher.h"
#include "login_dialog.h"
#include "login_flow.h"
#include "login_settings.h"
#include "modal_answers.h"
#include "scripted_server.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

const char* const LAB_ADDRESS = "127.0.98.1";
const char* const INVALID = "Invalid account number or PIN.";

QLineEdit* edit(QWidget* w, const char* name) {
    return w->findChild<QLineEdit*>(name);
}
QCheckBox* remember(QWidget* w) {
    return w->findChild<QCheckBox*>("remember");
}

// Types the account and PIN and clicks OK.
void submit(QWidget* dialog, const char* account, const char* pin) {
    edit(dialog, "account")->clear();
    edit(dialog, "pin")->clear();
    QTest::keyClicks(edit(dialog, "account"), account);
    QTest::keyClicks(edit(dialog, "pin"), pin);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
}
void wait_for(LoginDialog& dialog) {
    (void)QTest::qWaitFor([&] { return !dialog.waiting(); }, 15000);
}

struct LoginTest : testing::Test {
    static inline std::unique_ptr<lab_process> lab;

    static void SetUpTestSuite() { lab = std::make_unique<lab_process>(LAB_ADDRESS); }
    static void TearDownTestSuite() { lab.reset(); }
    void SetUp() override {
        ASSERT_TRUE(lab->ready());
        settings = lab_settings(folder, LAB_ADDRESS, lab.get());
        ASSERT_TRUE(settings);
    }
    void TearDown() override { lab->command("directory-mode normal"); }

    std::string now(const char* section, const char* key) const {
        return settings->reread(section, key);
    }

    temp_folder folder;
    std::optional<app_settings> settings;
};

TEST_F(LoginTest, OptionsShowAndMask) {
    for (const bool first : {true, false}) {
        ASSERT_TRUE(settings->write("Dialdeck", "LoginOptions", first ? "1,1,0,1" : "1,0,1,0"));
        LoginDialog dialog(*settings);
        AccountPage page(*settings);
        for (QWidget* w : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(&page)}) {
            SCOPED_TRACE(std::string(w->metaObject()->className()) + (first ? " 1101" : " 1010"));
            EXPECT_EQ(edit(w, "pin")->isHidden(), !first);
            EXPECT_EQ(edit(w, "account")->echoMode(),
                      first ? QLineEdit::Normal : QLineEdit::Password);
            EXPECT_EQ(edit(w, "pin")->echoMode(), first ? QLineEdit::Password : QLineEdit::Normal);
            EXPECT_EQ(remember(w)->text(), "Remember my account information on this computer.");
        }
    }
}

// One dialog against the lab: refusals before any traffic, the directory's
// failures, then the lab's account.
TEST_F(LoginTest, DialogAgainstTheLab) {
    settings->write("Dialdeck", "State", "earlier");
    LoginDialog dialog(*settings);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Login to Dialdeck");
    EXPECT_FALSE(remember(&dialog)->isChecked());
    const char* const refused[][3] = {
        {"", "1234", "Please enter an account number."},
        {"2181001", "1234", INVALID},  // no prefix matches
        {"219,1001", "1234", INVALID},
        {"219:1001", "1234", INVALID},
        {"2191001", "12|4", INVALID},
    };
    const size_t before = lab->requests().size();
    for (const auto& r : refused) {
        submit(&dialog, r[0], r[1]);
        EXPECT_FALSE(dialog.waiting()) << r[0];
        EXPECT_EQ(dialog.message(), r[2]) << r[0];
    }
    EXPECT_EQ(lab->requests().size(), before);
    EXPECT_EQ(now("Dialdeck", "State"), "earlier");

    for (const auto& [mode, account, message] :
         {std::tuple{"refuse", "2191001", "A socket error has occurred."},
          {"normal", "2199999", INVALID}}) {  // unknown at the lab
        ASSERT_TRUE(lab->command(QByteArray("directory-mode ") + mode).value("ok").toBool());
        submit(&dialog, account, "1234");
        wait_for(dialog);
        EXPECT_EQ(dialog.message(), message) << mode;
        EXPECT_EQ(now("Dialdeck", "State"), "") << mode;
    }
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(edit(&dialog, "account")->isEnabled());

    remember(&dialog)->setChecked(true);
    submit(&dialog, "2191001", "1234");
    ASSERT_TRUE(dialog.waiting());
    EXPECT_FALSE(edit(&dialog, "account")->isEnabled());
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    wait_for(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << dialog.message().toStdString();
    EXPECT_FALSE(QApplication::overrideCursor());
    EXPECT_EQ(now("Dialdeck", "State"),
              "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,1234,127.0.98.1," +
                  std::to_string(lab->directory_port));
    EXPECT_EQ(now("Phone", "CASAccount") + "/" + now("Phone", "CASPin"), "2191001/1234");
}

// Shown again: prefilled and ticked. This directory knows the account yet
// refuses its log-on, which the lab never does; unticked, both are forgotten.
TEST_F(LoginTest, DialogRefusedLogOnForgetsWhenUnticked) {
    scripted_server refusing("]", LAB_ADDRESS);
    refusing.reply = [](const QByteArray& request) -> QByteArray {
        return request.contains("\n9|") ? "9|true|1|[Alma:Berg:7001:0:a:1::K7001:lab]"
                                        : "22|false|0|[]";
    };
    for (const auto& [key, value] :
         {std::pair{"CASAccount", "2191001"}, {"CASPin", "1234"}, {"State", "earlier"}})
        ASSERT_TRUE(settings->write(key[0] == 'C' ? "Phone" : "Dialdeck", key, value));
    ASSERT_TRUE(settings->write("Dialdeck", "LDAP",
                                "1,127.0.98.1," + std::to_string(refusing.server.serverPort())));
    LoginDialog dialog(*settings);
    dialog.show();
    EXPECT_EQ(edit(&dialog, "account")->text() + "/" + edit(&dialog, "pin")->text(),
              "2191001/1234");
    ASSERT_TRUE(remember(&dialog)->isChecked());
    remember(&dialog)->setChecked(false);
    submit(&dialog, "2191002", "2345");
    wait_for(dialog);
    EXPECT_EQ(dialog.message(), INVALID);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(now("Dialdeck", "State") + now("Phone", "CASAccount") + now("Phone", "CASPin"), "");
}

TEST_F(LoginTest, AccountPageWritesOrClears) {
    AccountPage page(*settings);
    page.show();
    QTest::keyClicks(edit(&page, "account"), "2191003");
    QTest::keyClicks(edit(&page, "pin"), "3456");
    remember(&page)->setChecked(true);
    ASSERT_TRUE(page.apply());
    EXPECT_EQ(now("Phone", "CASAccount") + "/" + now("Phone", "CASPin"), "2191003/3456");

    QTest::keyClicks(edit(&page, "pin"), ",7");
    EXPECT_FALSE(page.apply());
    EXPECT_EQ(page.message(), INVALID);
    EXPECT_EQ(now("Phone", "CASPin"), "3456");

    remember(&page)->setChecked(false);
    ASSERT_TRUE(page.apply());
    EXPECT_EQ(now("Phone", "CASAccount") + now("Phone", "CASPin"), "");
}

// Run from the running event loop before any other window shows, as at start-up:
// closing the dialog must not end the program's loop.
TEST_F(LoginTest, FlowOutcomes) {
    using v = pin_verdict;
    const auto in = login_outcome::logged_in, out = login_outcome::exit_program;
    const struct {
        const char *pin_enable, *options;   // options null: as the lab wrote them
        std::vector<pin_verdict> verdicts;  // the dialog's OKs; none: cancelled
        login_outcome outcome;
        size_t pages;
    } rows[] = {
        {"TRUE", nullptr, {}, out, 0},
        {"FALSE", nullptr, {v::invalid}, in, 0},
        {"TRUE", nullptr, {v::valid}, in, 1},
        {"TRUE", nullptr, {v::failed, v::invalid, v::valid}, in, 3},
        {"TRUE", nullptr, {v::invalid, v::failed, v::invalid}, out, 3},  // three strikes
        {"TRUE", "0,1,0,1", {}, login_outcome::no_login, 0},             // no dialog at all
    };
    ASSERT_TRUE(settings->write("Dialdeck", "LDAP", "0,127.0.98.1,1"));  // the account alone
    testing::internal::CaptureStderr();
    bool still_running = false;
    QTimer::singleShot(0, [&] {
        for (const auto& r : rows) {
            SCOPED_TRACE(std::string(r.pin_enable) + " " + std::to_string(r.verdicts.size()));
            settings->write("Dialdeck", "PINEnable", r.pin_enable);
            if (r.options) settings->write("Dialdeck", "LoginOptions", r.options);
            std::deque<std::function<void(QWidget*)>> steps;
            if (r.verdicts.empty() && !r.options)
                steps.push_back([](QWidget* d) { qobject_cast<QDialog*>(d)->reject(); });
            for (const v verdict : r.verdicts) {
                steps.push_back([](QWidget* d) { submit(d, "2191001", "1234"); });
                if (r.pages && verdict != v::valid)
                    steps.push_back([](QWidget* box) {
                        EXPECT_EQ(qobject_cast<QMessageBox*>(box)->text(), "Invalid User Account.");
                        qobject_cast<QDialog*>(box)->accept();
                    });
            }
            modal_answers answers(std::move(steps), unasked::refuse);
            std::vector<QString> urls;
            const auto page = [&](const web_request& request) {
                urls.push_back(request.url);
                // Network errors may quote the address, record and all.
                const v verdict = r.verdicts.at(urls.size() - 1);
                if (verdict == v::failed) return web_answer{false, 0, {}, "refused " + request.url};
                const bool valid = verdict == v::valid;
                return web_answer{
                    true, 200, valid ? "<Valid>true</Valid>" : "<Valid>false</Valid>", {}};
            };
            EXPECT_EQ(run_login(nullptr, *settings, {page}), r.outcome);
            EXPECT_EQ(urls.size(), r.pages);
            EXPECT_TRUE(!r.pages ||
                        urls.back().endsWith("/verify&PIN=2191001&ownerKey=DialdeckLab"));
            const std::string state = now("Dialdeck", "State");
            EXPECT_TRUE(r.verdicts.empty() || state == (r.outcome == in ? "2191001" : "")) << state;
        }
        QTimer::singleShot(50, [&] {
            still_running = true;
            QApplication::quit();
        });
    });
    QObject bound;  // ends the loop should a row hang
    QTimer::singleShot(60000, &bound, [] { QApplication::quit(); });
    QApplication::exec();
    EXPECT_TRUE(still_running);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("refused"), std::string::npos);
    EXPECT_EQ(output.find("2191001"), std::string::npos) << output;
}

using strings = std::vector<std::string>;

TEST(AccountPrefix, DecodesAndAccepts) {
    struct row {
        const char* stored;
        strings decoded;
        const char* account;
        bool accepted;
    };
    const row rows[] = {
        {"ZIH,JJ5", {"219", "500"}, "2191001", true},
        {"ZIH,JJ5", {"219", "500"}, "5001004", true},
        {"ZIH,JJ5", {"219", "500"}, "2181001", false},
        {"ZIH,JJ5", {"219", "500"}, "21", false},
        {"", {}, "2191001", false},
        {",", {}, "2191001", false},  // an empty entry must not open the door
        {"ABCDEFGHIJ", {"0123456789"}, "0123456789", true},
        {"QRSTUVWXYZ", {"9876543210"}, "98765432109", true},
        {"zih", {"219"}, "219", true},
        {"K-7", {"7-K"}, "7-kx", true},  // other characters stay; compared ignoring case
        {"ZIH", {"219"}, "", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.stored) + " / " + r.account);
        EXPECT_EQ(decode_prefixes(r.stored), r.decoded);
        EXPECT_EQ(prefix_accepts(decode_prefixes(r.stored), r.account), r.accepted);
    }
}

TEST(LoginSettings, OptionsAndDirectory) {
    // Only "1" switches an option on, and missing ones are off; the dialog tests
    // walk each field's place.
    const login_options o = parse_login_options("true,yes");
    EXPECT_FALSE(o.show_dialog || o.show_pin || o.mask_account || o.mask_pin);
    const directory_login on = parse_directory_login("1,127.0.0.1,2740");
    EXPECT_TRUE(on.enabled && on.address == "127.0.0.1" && on.port == 2740);
    for (const char* bad :
         {"1,127.0.0.1,0", "1,127.0.0.1,65536", "1,127.0.0.1,27a", "1,x,", "1,127.0.0.1"})
        EXPECT_FALSE(parse_directory_login(bad).port) << bad;
    EXPECT_FALSE(parse_directory_login("0,127.0.0.1,2740").enabled);
}

TEST(AccountRecord, BuildsNineFieldsThenTheAccountAndReadsMissingFieldsEmpty) {
    const strings alma = {"Alma", "Berg", "7001", "0", "alma@lab.invalid", "1", "", "K7001", "lab"};
    const auto built = build_record(alma, "2191001", "1234", "127.0.0.1", "2740");
    EXPECT_EQ(built, "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,1234,127.0.0.1,2740");
    const struct {
        size_t at;  // 9: one field more, 8: one less
        const char *field, *account, *pin;
    } refused[] = {
        {9, "extra", "2191001", "1234"},    {8, nullptr, "2191001", "1234"},
        {0, "Alma, Jr", "2191001", "1234"}, {4, "a|b", "2191001", "1234"},
        {1, "Be\nrg", "2191001", "1234"},   {0, "Alma", "219,1001", "1234"},
        {0, "Alma", "2191001", "12\x7f"},   {0, "Alma", "2191001", "1\t2"},
    };
    for (const auto& r : refused) {
        strings fields = alma;
        fields.resize(r.field ? std::max<size_t>(9, r.at + 1) : r.at);
        if (r.field) fields[r.at] = r.field;
        EXPECT_FALSE(build_record(fields, r.account, r.pin, "127.0.0.1", "2740")) << r.at;
    }
    const account_record full(built.value_or(""));
    EXPECT_EQ(full.field(2) + "/" + full.field(7) + "/" + full.field(10) + "/" + full.field(12),
              "7001/K7001/1234/2740");
    EXPECT_TRUE(full.has_directory());
    for (const char* short_record : {"", "2191001", "Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234",
                                     "Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234,127.0.0.1,"}) {
        const account_record r(short_record);
        EXPECT_FALSE(r.has_directory()) << short_record;
        EXPECT_EQ(r.field(12) + r.field(99), "") << short_record;
    }
    EXPECT_EQ(account_record("2191001").field(0), "2191001");
    EXPECT_EQ(account_record("").size(), 0u);
}

}  // namespace
}  // namespace voxline::test
