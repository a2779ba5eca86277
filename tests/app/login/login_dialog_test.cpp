// The login dialog and the account page, against the lab's directory.
#include "login_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

#include "account_page.h"
#include "account_record.h"
#include "lab_launcher.h"

namespace voxline::test {
namespace {

using dialdeck::AccountPage;
using dialdeck::app_settings;
using dialdeck::LoginDialog;

const char* const LAB_ADDRESS = "127.0.98.1";

struct LoginDialogTest : testing::Test {
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
    QLineEdit* edit(QWidget* w, const char* name) { return w->findChild<QLineEdit*>(name); }
    QCheckBox* remember(QWidget* w) { return w->findChild<QCheckBox*>("remember"); }

    // Types the account and PIN and clicks OK.
    void submit(LoginDialog& dialog, const char* account, const char* pin) {
        edit(&dialog, "account")->clear();
        edit(&dialog, "pin")->clear();
        QTest::keyClicks(edit(&dialog, "account"), account);
        QTest::keyClicks(edit(&dialog, "pin"), pin);
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }
    static void wait_for(LoginDialog& dialog) {
        (void)QTest::qWaitFor([&] { return !dialog.waiting(); }, 15000);
    }

    temp_folder folder;
    std::optional<app_settings> settings;
};

TEST_F(LoginDialogTest, RefusedBeforeAnyTraffic) {
    struct row {
        const char* account;
        const char* pin;
        const char* message;
    };
    const row rows[] = {
        {"", "1234", "Please enter an account number."},
        {"2181001", "1234", "Invalid account number or PIN."},  // no prefix matches
        {"219,1001", "1234", "Invalid account number or PIN."},
        {"219:1001", "1234", "Invalid account number or PIN."},
        {"2191001", "12|4", "Invalid account number or PIN."},
    };
    settings->write("Dialdeck", "State", "earlier");
    const qsizetype before = lab->requests().size();
    LoginDialog dialog(*settings);
    dialog.show();
    for (const row& r : rows) {
        submit(dialog, r.account, r.pin);
        EXPECT_FALSE(dialog.waiting()) << r.account;
        EXPECT_EQ(dialog.message(), r.message) << r.account;
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << r.account;
    }
    EXPECT_EQ(lab->requests().size(), before);
    EXPECT_EQ(now("Dialdeck", "State"), "earlier");
}

TEST_F(LoginDialogTest, OptionsShowAndMask) {
    struct row {
        const char* options;
        bool pin_shown;
        QLineEdit::EchoMode account;
        QLineEdit::EchoMode pin;
    };
    const row rows[] = {
        {"1,1,0,1", true, QLineEdit::Normal, QLineEdit::Password},
        {"1,0,1,0", false, QLineEdit::Password, QLineEdit::Normal},
        {"1", false, QLineEdit::Normal, QLineEdit::Normal},
    };
    for (const row& r : rows) {
        ASSERT_TRUE(settings->write("Dialdeck", "LoginOptions", r.options));
        LoginDialog dialog(*settings);
        AccountPage page(*settings);
        for (QWidget* w : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(&page)}) {
            SCOPED_TRACE(std::string(r.options) + " " + w->metaObject()->className());
            EXPECT_EQ(edit(w, "pin")->isHidden(), !r.pin_shown);
            EXPECT_EQ(edit(w, "account")->echoMode(), r.account);
            EXPECT_EQ(edit(w, "pin")->echoMode(), r.pin);
            EXPECT_EQ(remember(w)->text(), "Remember my account information on this computer.");
        }
    }
}

TEST_F(LoginDialogTest, LabAccountGivesTheRecordAndIsRemembered) {
    LoginDialog dialog(*settings);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Login to Dialdeck");
    EXPECT_FALSE(remember(&dialog)->isChecked());
    remember(&dialog)->setChecked(true);
    submit(dialog, "2191001", "1234");
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
    EXPECT_EQ(now("Phone", "CASAccount"), "2191001");
    EXPECT_EQ(now("Phone", "CASPin"), "1234");
    EXPECT_TRUE(lab->command("presence").value("presence").toObject().contains("7001"));

    // Shown again: prefilled and ticked; unticked, both are forgotten.
    LoginDialog again(*settings);
    again.show();
    EXPECT_EQ(edit(&again, "account")->text(), "2191001");
    EXPECT_EQ(edit(&again, "pin")->text(), "1234");
    ASSERT_TRUE(remember(&again)->isChecked());
    remember(&again)->setChecked(false);
    submit(again, "2191002", "2345");
    wait_for(again);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(now("Phone", "CASAccount"), "");
    EXPECT_EQ(now("Phone", "CASPin"), "");
    EXPECT_EQ(dialdeck::account_record(now("Dialdeck", "State")).field(9), "2191002");
}

TEST_F(LoginDialogTest, DirectoryFailuresEmptyTheRecord) {
    struct row {
        const char* mode;
        const char* account;
        const char* message;
    };
    const row rows[] = {
        {"normal", "2199999", "Invalid account number or PIN."},  // unknown at the lab
        {"garbage", "2191001", "Invalid account number or PIN."},
        {"wrong-code", "2191001", "Invalid account number or PIN."},
        {"refuse", "2191001", "A socket error has occurred."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.mode);
        ASSERT_TRUE(lab->command(QByteArray("directory-mode ") + r.mode).value("ok").toBool());
        settings->write("Dialdeck", "State", "earlier");
        LoginDialog dialog(*settings);
        dialog.show();
        submit(dialog, r.account, "1234");
        wait_for(dialog);
        EXPECT_EQ(dialog.message(), r.message);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(edit(&dialog, "account")->isEnabled());
        EXPECT_EQ(now("Dialdeck", "State"), "");
    }
}

// The lab accepts every log-on it knows; this directory knows the account
// yet refuses its log-on.
TEST_F(LoginDialogTest, RefusedLogOnEmptiesTheRecord) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(LAB_ADDRESS), 0));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        QTcpSocket* peer = server.nextPendingConnection();
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
        std::string("1,") + LAB_ADDRESS + "," + std::to_string(server.serverPort())));
    LoginDialog dialog(*settings);
    dialog.show();
    submit(dialog, "2191001", "1234");
    wait_for(dialog);
    EXPECT_EQ(dialog.message(), "Invalid account number or PIN.");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(now("Dialdeck", "State"), "");
}

TEST_F(LoginDialogTest, AccountPageWritesOrClears) {
    AccountPage page(*settings);
    page.show();
    QTest::keyClicks(edit(&page, "account"), "2191003");
    QTest::keyClicks(edit(&page, "pin"), "3456");
    remember(&page)->setChecked(true);
    ASSERT_TRUE(page.apply());
    EXPECT_EQ(now("Phone", "CASAccount"), "2191003");
    EXPECT_EQ(now("Phone", "CASPin"), "3456");

    QTest::keyClicks(edit(&page, "pin"), ",7");
    EXPECT_FALSE(page.apply());
    EXPECT_EQ(page.message(), "Invalid account number or PIN.");
    EXPECT_EQ(now("Phone", "CASPin"), "3456");

    remember(&page)->setChecked(false);
    ASSERT_TRUE(page.apply());
    EXPECT_EQ(now("Phone", "CASAccount"), "");
    EXPECT_EQ(now("Phone", "CASPin"), "");
}

}  // namespace
}  // namespace voxline::test
