#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "add_contact_wizard.h"
#include "atomic_file.h"
#include "contacts_actions.h"
#include "contacts_dialog.h"
#include "contacts_icons.h"
#include "directory_client.h"
#include "edit_contact_dialog.h"
#include "lab_launcher.h"
#include "modal_answers.h"

namespace voxline::test {
namespace {

using dialdeck::contacts_dialog;

const char* const LAB_ADDRESS = "127.0.93.1";

using rows_t = std::vector<std::pair<QString, QString>>;

rows_t rows_of(const QTreeWidget* list) {
    rows_t rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows.emplace_back(list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1));
    return rows;
}

// A row's icon, or with a number the strip's icon of that index.
QImage icon_of(const QTreeWidgetItem* row, int index = -1) {
    return (row ? row->icon(0) : dialdeck::contact_icon(index)).pixmap(QSize(24, 17)).toImage();
}

std::string read(const std::string& path) {
    return dialdeck::read_whole_file(path).value_or("(unreadable)");
}

void write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(dialdeck::write_whole_file(path, text));
}

std::string record(const char* first, const char* last, const char* phone) {
    return std::string("<Record>\n\t<FirstName>") + first + "</FirstName>\n\t<LastName>" + last +
           "</LastName>\n\t<Phone>" + phone + "</Phone>\n</Record>\n";
}

QStringList sources_of(contacts_dialog& dialog) {
    QStringList shown;
    for (int i = 0; i < dialog.sources()->count(); ++i) shown << dialog.sources()->itemText(i);
    return shown;
}

void choose(contacts_dialog& dialog, const char* source) {
    dialog.sources()->setCurrentIndex(dialog.sources()->findText(source));
}

// Types into the "Search" dialog and presses "&Search Now".
std::function<void(QWidget*)> search_for(const QString& typed) {
    return [typed](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Search");
        QTest::keyClicks(window->findChild<QLineEdit*>(), typed);
        for (auto* button : window->findChildren<QAbstractButton*>()) {
            if (button->text() == "&Search Now") button->click();
        }
    };
}

void press_ok(QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) box->accept();
}

struct ContactsWindowTest : testing::Test {
    temp_folder folder;
    std::string path = folder.path() + "anima.xml";
};

struct ContactsLabTest : ContactsWindowTest {
    lab_process lab{LAB_ADDRESS};
    void SetUp() override { ASSERT_TRUE(lab.ready()); }
    // The subscriber with this number and key, in the lab's group.
    dialdeck::contacts_account account(const std::string& number, const std::string& key) {
        return dialdeck::contacts_account::from_record("a,b," + number + ",c,d,e,f," + key +
                                                       ",lab,g,h," + LAB_ADDRESS + "," +
                                                       std::to_string(lab.directory_port));
    }
    // The texts of the directory requests with this code, oldest first.
    std::vector<std::string> requests(int code) {
        std::vector<std::string> texts;
        for (const auto& r : lab.requests()) {
            if (r.toObject().value("code").toInt() == code)
                texts.push_back(r.toObject().value("text").toString().toStdString());
        }
        return texts;
    }
};

TEST_F(ContactsWindowTest, MyContactsMessagesSearchMenuDeleteEditAndCall) {
    write(path, "<Table>\n" + record("Ann", "Lee", "111") + record("bob", "Stone", "222") +
                    record("Cy", "Moss", "7005") + "</Table>");
    contacts_dialog dialog(std::nullopt, false, {}, path);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.list()->topLevelItemCount() == 3; }));
    EXPECT_EQ(dialog.windowTitle(), "Contacts");
    EXPECT_EQ(sources_of(dialog), QStringList{"My Contacts"});
    EXPECT_EQ(rows_of(dialog.list()),
              (rows_t{{"Ann Lee", "111"}, {"bob Stone", "222"}, {"Cy Moss", "7005"}}));

    modal_answers answers(
        {press_ok, press_ok, press_ok, search_for("x"), press_ok, search_for("BO")});
    dialog.call();
    dialog.remove();
    dialog.edit();
    dialog.search();
    dialog.search();
    EXPECT_EQ(answers.texts,
              (std::vector<QString>{
                  "Please select a contact to call.", "Please select a contact to delete.",
                  "Please select a contact to edit.", "", "Search returned 0 results.", ""}));
    EXPECT_EQ(answers.titles[0], "Select Contact");
    EXPECT_EQ(answers.titles[4], "Searching...");
    ASSERT_NE(dialog.list()->currentItem(), nullptr);
    EXPECT_EQ(dialog.list()->currentItem()->text(1), "222");
    dialog.remove();
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Ann Lee", "111"}, {"Cy Moss", "7005"}}));

    modal_answers edit({[](QWidget* window) {
        auto* edit = qobject_cast<dialdeck::edit_contact_dialog*>(window);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->windowTitle(), "Edit Contact");
        EXPECT_EQ(edit->last_edit()->text(), "Moss");
        edit->phone_edit()->setText("7006");
        edit->accept();
    }});
    dialog.list()->setCurrentItem(dialog.list()->topLevelItem(1));
    dialog.edit();
    EXPECT_EQ(read(path), "<Table>\n" + record("Ann", "Lee", "111") + record("Cy", "Moss", "7006") +
                              "</Table>");
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Ann Lee", "111"}, {"Cy Moss", "7006"}}));

    QStringList menu;
    modal_answers popup({[&](QWidget* window) {
        for (QAction* action : window->actions()) menu << action->text();
        window->close();
    }});
    const QTreeWidgetItem* first = dialog.list()->topLevelItem(0);
    emit dialog.list()->customContextMenuRequested(dialog.list()->visualItemRect(first).center());
    EXPECT_EQ(menu, (QStringList{"Make a Phone Call", "", "Delete Contact", "Edit Contact"}));
    EXPECT_EQ(dialog.list()->currentItem()->text(1), "111");

    dialog.call();
    EXPECT_EQ(dialog.chosen_number(), "111");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(ContactsLabTest, ServerListMarksPresenceAndTheDirectorySearches) {
    contacts_dialog dialog(QColor(236, 233, 216), true, account("7001", "K7001"), path);
    dialog.show();
    EXPECT_EQ(sources_of(dialog), (QStringList{"Directory", "LDAP Contacts", "My Contacts"}));
    EXPECT_EQ(dialog.sources()->currentText(), "LDAP Contacts");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.list()->topLevelItemCount() == 2; }, 15000));
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Boris Chan", "7002"}, {" ", "600"}}));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(icon_of(dialog.list()->topLevelItem(i)), icon_of(nullptr, 1));
    EXPECT_FALSE(dialog.delete_action()->isEnabled());

    // Boris logs on: his status marks him, and the marked come last.
    dialdeck::DirectoryClient presence;
    ASSERT_TRUE(presence.open(LAB_ADDRESS, lab.directory_port));
    ASSERT_EQ(presence.exchange(22, "7002:K7002", 2), 1);

    write(path, "<Table>\n" + record("Ann", "Lee", "111") + "</Table>");
    choose(dialog, "My Contacts");
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Ann Lee", "111"}}));
    EXPECT_TRUE(dialog.edit_action()->isEnabled());
    choose(dialog, "LDAP Contacts");
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{" ", "600"}, {"Boris Chan", "7002"}}));
    EXPECT_EQ(icon_of(dialog.list()->topLevelItem(0)), icon_of(nullptr, 1));
    EXPECT_EQ(icon_of(dialog.list()->topLevelItem(1)), icon_of(nullptr, 0));
    EXPECT_NE(icon_of(nullptr, 0), icon_of(nullptr, 1));
    EXPECT_EQ(requests(13), (std::vector<std::string>{"7001", "7001"}));

    const QString artifacts = qEnvironmentVariable("DIALDECK_ARTIFACTS", ARTIFACTS_DIR);
    QDir().mkpath(artifacts);
    dialog.list()->setCurrentItem(dialog.list()->topLevelItem(1));
    EXPECT_TRUE(dialog.grab().save(artifacts + "/contacts.png"));

    // A damaged file is reported and the list shown before stays.
    write(path, "<Table>\n<Record>\n");
    {
        modal_answers answers({press_ok});
        choose(dialog, "My Contacts");
        EXPECT_EQ(answers.titles, (std::vector<QString>{"Parse Error"}));
        EXPECT_TRUE(answers.texts[0].startsWith("At line ")) << answers.texts[0].toStdString();
        EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Ann Lee", "111"}}));
    }

    choose(dialog, "Directory");
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog.delete_action()->isEnabled());
    EXPECT_FALSE(dialog.edit_action()->isEnabled());
    struct row {
        const char* typed;
        const char* mode;
        rows_t found;
        QString message;
    };
    const row rows[] = {
        {"a:l|", "normal", {{"Alma Berg", "7001"}, {"Alba Diaz", "7003"}}, ""},
        {"carla", "normal", {}, "Search returned 0 results."},  // another group
        {"al", "refuse", {}, "Search failed."},
    };
    for (const row& r : rows) {
        lab.command(QByteArray("directory-mode ") + r.mode);
        std::deque<std::function<void(QWidget*)>> steps{search_for(r.typed)};
        if (!r.message.isEmpty()) steps.push_back(press_ok);
        modal_answers answers(steps);
        dialog.search();
        EXPECT_EQ(rows_of(dialog.list()), r.found) << r.typed;
        EXPECT_EQ(answers.texts.back(), r.message) << r.typed;
        if (!r.message.isEmpty()) {
            EXPECT_EQ(answers.titles.back(), "Searching...");
        }
    }
    // By first name, then by last name.
    const std::vector<std::string> searches = requests(8);
    ASSERT_GE(searches.size(), 2u);
    EXPECT_EQ(searches[0], "al*:*:lab:K7001:500:false");
    EXPECT_EQ(searches[1], "*:al*:lab:K7001:500:false");
}

TEST_F(ContactsLabTest, AddWizardWritesTheFileOrTheServerList) {
    dialdeck::contacts_book book(path);
    {
        dialdeck::add_contact_wizard wizard(account("7003", "K7003"), book);
        wizard.show();
        EXPECT_EQ(wizard.windowTitle(), "Add a Contact");
        EXPECT_TRUE(wizard.manual_choice()->isChecked());
        wizard.next();
        wizard.first_edit()->setText("Dee");
        wizard.last_edit()->setText("Fox");
        wizard.phone_edit()->setText("7010");
        wizard.button(QWizard::FinishButton)->click();
        EXPECT_TRUE(wizard.book_changed());
        EXPECT_EQ(read(path), "<Table>\n" + record("Dee", "Fox", "7010") + "</Table>");
    }
    dialdeck::add_contact_wizard wizard(account("7003", "K7003"), book);
    wizard.show();
    wizard.search_choice()->setChecked(true);
    wizard.next();
    wizard.search_first_edit()->setText("bor");
    modal_answers answers({press_ok, press_ok});
    wizard.next();
    ASSERT_EQ(wizard.currentId(), dialdeck::add_contact_wizard::found_page);
    EXPECT_EQ(rows_of(wizard.results()), (rows_t{{"Boris Chan", "7002"}}));
    wizard.button(QWizard::FinishButton)->click();
    wizard.results()->setCurrentItem(wizard.results()->topLevelItem(0));
    wizard.button(QWizard::FinishButton)->click();
    EXPECT_EQ(answers.titles, (std::vector<QString>{"Add Contact", "Add Contact"}));
    EXPECT_EQ(answers.texts, (std::vector<QString>{"Please select a name to add to your contacts.",
                                                   "Boris Chan added to contacts."}));
    EXPECT_EQ(requests(8), (std::vector<std::string>{"bor*:*:lab:K7003:500:false"}));
    // The server adds 7002 to the list of 7003; the file stays as it was.
    EXPECT_EQ(requests(11), (std::vector<std::string>{"7003:7002"}));
    EXPECT_EQ(read(path), "<Table>\n" + record("Dee", "Fox", "7010") + "</Table>");
}

TEST_F(ContactsWindowTest, ActionsCallTheChosenNumberOrEndOnABadColour) {
    auto settings = lab_settings(folder, LAB_ADDRESS);
    ASSERT_TRUE(settings);
    const std::string account = "a,b,7001,c,d,e,f,K7001,lab,g,h,127.0.93.1,2740";
    ASSERT_TRUE(settings->write("Dialdeck", "State", account));
    ASSERT_TRUE(settings->write("Dialdeck", "LDAP", "0"));
    write(path, "<Table>\n" + record("Ann", "Lee", "111") + "</Table>");

    QWidget window;
    const std::string without_slash = folder.path().substr(0, folder.path().size() - 1);
    dialdeck::contacts_actions actions(&window, *settings, without_slash);
    QSignalSpy calls(&actions, &dialdeck::contacts_actions::call_number);
    QSignalSpy ends(&actions, &dialdeck::contacts_actions::end_program);
    {
        modal_answers answers({[](QWidget* top) {
            auto* dialog = qobject_cast<contacts_dialog*>(top);
            ASSERT_NE(dialog, nullptr);
            ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->list()->topLevelItemCount() == 1; }));
            dialog->list()->setCurrentItem(dialog->list()->topLevelItem(0));
            dialog->call_action()->trigger();
        }});
        EXPECT_EQ(actions.select_to_call(), dialdeck::contacts_outcome::done);
    }
    ASSERT_EQ(calls.count(), 1);
    EXPECT_EQ(calls[0][0].toString(), "111");

    ASSERT_TRUE(settings->write("Dialdeck", "ContactsDressing", "236,233"));
    modal_answers answers({press_ok});
    EXPECT_EQ(actions.manage(), dialdeck::contacts_outcome::end_program);
    EXPECT_EQ(answers.titles, (std::vector<QString>{"Initializing..."}));
    EXPECT_EQ(answers.texts, (std::vector<QString>{"Initialization error 102"}));
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(ends[0][0].toInt(), 1);
    EXPECT_EQ(calls.count(), 1);
}

}  // namespace
}  // namespace voxline::test
