// The login dialog, the account page and the start-up flow, against the lab's
// directory; the PIN page answers from a list.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "account_page.h"
#include "account_record.h"
#include "lab_launcher.h"
#include "login_dialog.h"
#include "login_flow.h"
#include "modal_answers.h"

namespace voxline::test {
namespace {

using namespace dialdeck;
using script = std::deque<std::function<void(QWidget*)>>;

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
std::function<void(QWidget*)> log_in() {
    return [](QWidget* dialog) { submit(dialog, "2191001", "1234"); };
}
std::function<void(QWidget*)> invalid_box() {
    return [](QWidget* box) {
        EXPECT_EQ(qobject_cast<QMessageBox*>(box)->text(), "Invalid User Account.");
        qobject_cast<QDialog*>(box)->accept();
    };
}
void wait_for(LoginDialog& dialog) {
    (void)QTest::qWaitFor([&] { return !dialog.waiting(); }, 15000);
}

struct LoginTest : testing::Test {
    static inline std::unique_ptr<temp_folder> tls;
    static inline std::unique_ptr<lab_process> lab;

    static void SetUpTestSuite() {
        tls = std::make_unique<temp_folder>();
        lab = std::make_unique<lab_process>(LAB_ADDRESS, tls->path());
    }
    static void TearDownTestSuite() {
        lab.reset();
        tls.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(lab->ready());
        settings = lab_settings(folder, LAB_ADDRESS, tls->path(), lab.get());
        ASSERT_TRUE(settings);
    }
    void TearDown() override { lab->command("directory-mode normal"); }

    std::string now(const char* section, const char* key) const {
        return settings->reread(section, key);
    }
    // The start-up flow without a directory, the account alone being the record.
    login_outcome run_flow(std::vector<pin_verdict> answers) {
        EXPECT_TRUE(settings->write("Dialdeck", "LDAP", "0,127.0.98.1,1"));
        const auto page = [this, answers](const web_request& request) {
            urls.push_back(request.url);
            const auto v = answers.at(std::min(urls.size(), answers.size()) - 1);
            // Network errors may quote the address, record and all.
            if (v == pin_verdict::failed) return web_answer{false, 0, {}, "refused " + request.url};
            const char* valid = v == pin_verdict::valid ? "true" : "false";
            return web_answer{true, 200, QByteArray("<Valid>") + valid + "</Valid>", {}};
        };
        return run_login(nullptr, *settings, {page});
    }

    temp_folder folder;
    std::optional<app_settings> settings;
    std::vector<QString> urls;
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
    const qsizetype before = lab->requests().size();
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
    EXPECT_TRUE(lab->command("presence").value("presence").toObject().contains("7001"));
}

// Shown again: prefilled and ticked. This directory knows the account yet
// refuses its log-on, which the lab never does; unticked, both are forgotten.
TEST_F(LoginTest, DialogRefusedLogOnForgetsWhenUnticked) {
    ASSERT_TRUE(settings->write("Phone", "CASAccount", "2191001"));
    ASSERT_TRUE(settings->write("Phone", "CASPin", "1234"));
    QTcpServer refusing;
    ASSERT_TRUE(refusing.listen(QHostAddress(LAB_ADDRESS), 0));
    QObject::connect(&refusing, &QTcpServer::newConnection, [&refusing] {
        QTcpSocket* peer = refusing.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [peer] {
            const QByteArray request = peer->peek(4096);
            if (!request.endsWith("]")) return;
            peer->write(request.contains("\n9|") ? "9|true|1|[Alma:Berg:7001:0:a:1::K7001:lab]"
                                                 : "22|false|0|[]");
            peer->disconnectFromHost();
        });
    });
    ASSERT_TRUE(settings->write(
        "Dialdeck", "LDAP",
        std::string("1,") + LAB_ADDRESS + "," + std::to_string(refusing.serverPort())));
    settings->write("Dialdeck", "State", "earlier");
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
    EXPECT_EQ(now("Dialdeck", "State"), "");
    EXPECT_EQ(now("Phone", "CASAccount") + now("Phone", "CASPin"), "");
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
        {"TRUE", nullptr, {v::invalid, v::valid}, in, 2},
        {"TRUE", nullptr, {v::failed, v::invalid, v::valid}, in, 3},
        {"TRUE", nullptr, {v::invalid, v::failed, v::invalid}, out, 3},  // three strikes
        {"TRUE", "0,1,0,1", {}, login_outcome::no_login, 0},             // no dialog at all
    };
    testing::internal::CaptureStderr();
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.pin_enable) + " " + std::to_string(r.verdicts.size()));
        ASSERT_TRUE(settings->write("Dialdeck", "PINEnable", r.pin_enable));
        if (r.options) settings->write("Dialdeck", "LoginOptions", r.options);
        urls.clear();
        script steps;
        if (r.verdicts.empty() && !r.options)
            steps.push_back([](QWidget* d) { qobject_cast<QDialog*>(d)->reject(); });
        for (const v verdict : r.verdicts) {
            steps.push_back(log_in());
            if (r.pages && verdict != v::valid) steps.push_back(invalid_box());
        }
        modal_answers answers(std::move(steps), unasked::refuse);
        EXPECT_EQ(run_flow(r.verdicts), r.outcome);
        EXPECT_EQ(urls.size(), r.pages);
        EXPECT_TRUE(!r.pages || urls.back().endsWith("/verify&PIN=2191001&ownerKey=DialdeckLab"));
        const std::string state = now("Dialdeck", "State");
        EXPECT_TRUE(r.verdicts.empty() || state == (r.outcome == in ? "2191001" : "")) << state;
    }
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("refused"), std::string::npos);
    EXPECT_EQ(output.find("2191001"), std::string::npos) << output;
}

// Started from the running event loop before any other window shows: closing
// the dialog must not end the program's loop.
TEST_F(LoginTest, FlowLeavesTheEventLoopRunning) {
    ASSERT_TRUE(settings->write("Dialdeck", "PINEnable", "TRUE"));
    modal_answers answers({log_in()}, unasked::refuse);
    bool still_running = false;
    QTimer bound;
    bound.callOnTimeout([] { QApplication::quit(); });
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(run_flow({pin_verdict::valid}), login_outcome::logged_in);
        QTimer::singleShot(50, [&] {
            still_running = true;
            QApplication::quit();
        });
        bound.start(10000);
    });
    QApplication::exec();
    EXPECT_TRUE(still_running);
}

}  // namespace
}  // namespace voxline::test
