// The start-up login: dialog, PIN page, three strikes.
#include "login_flow.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "account_record.h"
#include "lab_launcher.h"
#include "modal_answers.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

const char* const LAB_ADDRESS = "127.0.98.1";
const char* const INVALID = "Invalid User Account.";

std::function<void(QWidget*)> log_in(const char* account, const char* pin) {
    return [=](QWidget* dialog) {
        auto edit = [&](const char* name) { return dialog->findChild<QLineEdit*>(name); };
        edit("account")->clear();
        edit("pin")->clear();
        QTest::keyClicks(edit("account"), account);
        QTest::keyClicks(edit("pin"), pin);
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    };
}

std::function<void(QWidget*)> cancel() {
    return [](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); };
}

// Checks the box's text and closes it.
std::function<void(QWidget*)> invalid_box() {
    return [](QWidget* box) {
        auto* message = qobject_cast<QMessageBox*>(box);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->text(), INVALID);
        message->accept();
    };
}

struct LoginFlowTest : testing::Test {
    void SetUp() override {
        settings = lab_settings(folder, LAB_ADDRESS, tls.path());
        ASSERT_TRUE(settings);
        // The account alone is the record: no directory needed here.
        ASSERT_TRUE(settings->write("Dialdeck", "LDAP", "0,127.0.98.1,1"));
        ASSERT_TRUE(settings->write("Dialdeck", "PINEnable", "TRUE"));
    }
    // A PIN page that answers from a list, keeping what it was asked.
    web_fetcher page(std::vector<pin_verdict> answers) {
        return [this, answers](const web_request& request) {
            urls.push_back(request.url);
            const pin_verdict v = answers.at(std::min(urls.size(), answers.size()) - 1);
            // Network errors may quote the address, record and all.
            if (v == pin_verdict::failed) return web_answer{false, 0, {}, "refused " + request.url};
            const QByteArray valid = v == pin_verdict::valid ? "true" : "false";
            return web_answer{true, 200, "<Verify><Valid>" + valid + "</Valid></Verify>", {}};
        };
    }

    temp_folder tls;
    temp_folder folder;
    std::optional<app_settings> settings;
    std::vector<QString> urls;
};

// None of these reaches the PIN page, whatever it would answer.
TEST_F(LoginFlowTest, OutcomesThatSkipThePinPage) {
    struct row {
        const char* pin_enable;
        const char* options;  // null: as the lab wrote them
        std::function<void(QWidget*)> answer;
        login_outcome outcome;
    };
    const row rows[] = {
        {"TRUE", nullptr, cancel(), login_outcome::exit_program},
        {"FALSE", nullptr, log_in("2191001", "1234"), login_outcome::logged_in},
        {"TRUE", "0,1,0,1", nullptr, login_outcome::no_login},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(int(r.outcome));
        ASSERT_TRUE(settings->write("Dialdeck", "PINEnable", r.pin_enable));
        if (r.options) {
            ASSERT_TRUE(settings->write("Dialdeck", "LoginOptions", r.options));
        }
        std::deque<std::function<void(QWidget*)>> script;
        if (r.answer) script.push_back(r.answer);
        modal_answers answers(std::move(script), unasked::refuse);
        EXPECT_EQ(run_login(nullptr, *settings, {page({pin_verdict::invalid})}), r.outcome);
        EXPECT_EQ(answers.titles,
                  r.answer ? std::vector<QString>{"Login to Dialdeck"} : std::vector<QString>{});
        EXPECT_TRUE(urls.empty());
    }
}

TEST_F(LoginFlowTest, PinPageVerdicts) {
    using v = pin_verdict;
    struct row {
        const char* name;
        std::vector<pin_verdict> verdicts;
        login_outcome outcome;
        int boxes;
    };
    const row rows[] = {
        {"valid", {v::valid}, login_outcome::logged_in, 0},
        {"invalid then valid", {v::invalid, v::valid}, login_outcome::logged_in, 1},
        {"two failures then valid", {v::failed, v::invalid, v::valid}, login_outcome::logged_in, 2},
        {"three strikes", {v::invalid, v::failed, v::invalid}, login_outcome::exit_program, 3},
    };
    testing::internal::CaptureStderr();
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        urls.clear();
        std::deque<std::function<void(QWidget*)>> script;
        for (int i = 0; i < r.boxes; ++i) {
            script.push_back(log_in("2191001", "1234"));
            script.push_back(invalid_box());
        }
        if (r.outcome == login_outcome::logged_in) script.push_back(log_in("2191001", "1234"));
        modal_answers answers(std::move(script), unasked::refuse);
        EXPECT_EQ(run_login(nullptr, *settings, {page(r.verdicts)}), r.outcome);
        EXPECT_EQ(urls.size(), r.verdicts.size());
        EXPECT_EQ(settings->reread("Dialdeck", "State"),
                  r.outcome == login_outcome::logged_in ? "2191001" : "");
    }
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("refused"), std::string::npos);
    EXPECT_EQ(output.find("2191001"), std::string::npos) << output;
    ASSERT_FALSE(urls.empty());
    EXPECT_TRUE(urls.back().endsWith("/verify&PIN=2191001&ownerKey=DialdeckLab"))
        << urls.back().toStdString();
}

// Started from the running event loop before any other window shows: closing
// the dialog must not end the program's loop.
TEST_F(LoginFlowTest, TheEventLoopOutlivesTheDialog) {
    modal_answers answers({log_in("2191001", "1234")}, unasked::refuse);
    bool still_running = false;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [] { QApplication::quit(); });
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(run_login(nullptr, *settings, {page({pin_verdict::valid})}),
                  login_outcome::logged_in);
        QTimer::singleShot(50, [&] {
            still_running = true;
            QApplication::quit();
        });
        bound.start(10000);
    });
    QApplication::exec();
    EXPECT_TRUE(still_running);
}

// The lab's directory and HTTPS page, with each certificate it can show.
TEST(LoginAtTheLab, OnlyTheGoodCertificatePasses) {
    for (const char* variant : {"good", "expired", "wrong-name", "unknown-ca"}) {
        SCOPED_TRACE(variant);
        temp_folder tls;
        temp_folder folder;
        lab_process lab(LAB_ADDRESS, tls.path(), variant);
        ASSERT_TRUE(lab.ready());
        auto settings = lab_settings(folder, LAB_ADDRESS, tls.path(), &lab);
        ASSERT_TRUE(settings);
        const bool good = std::string(variant) == "good";
        std::deque<std::function<void(QWidget*)>> script;
        for (int i = 0; i < (good ? 1 : 3); ++i) {
            script.push_back(log_in("2191001", "1234"));
            if (!good) script.push_back(invalid_box());
        }
        modal_answers answers(std::move(script), unasked::refuse);
        EXPECT_EQ(run_login(nullptr, *settings),
                  good ? login_outcome::logged_in : login_outcome::exit_program);
        // A refused handshake never reaches the page.
        EXPECT_EQ(lab.requests("web-requests").size(), good ? 1 : 0);
        EXPECT_EQ(account_record(settings->reread("Dialdeck", "State")).field(RECORD_PIN),
                  good ? "1234" : "");
    }
}

}  // namespace
}  // namespace voxline::test
