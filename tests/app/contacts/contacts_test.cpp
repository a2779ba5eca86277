// The contacts file kept byte for byte, the settings the window reads, and
// the window, wizard and actions on a file and against the lab's directory.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "add_contact_wizard.h"
#include "atomic_file.h"
#include "contacts_actions.h"
#include "contacts_book.h"
#include "contacts_config.h"
#include "contacts_dialog.h"
#include "contacts_file.h"
#include "contacts_icons.h"
#include "directory_client.h"
#include "edit_contact_dialog.h"
#include "lab_launcher.h"
#include "modal_answers.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

const char* const LAB_ADDRESS = "127.0.93.1";

void write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(write_whole_file(path, text));
}

std::string record(const char* first, const char* last, const char* phone) {
    return std::string("<Record>\n\t<FirstName>") + first + "</FirstName>\n\t<LastName>" + last +
           "</LastName>\n\t<Phone>" + phone + "</Phone>\n</Record>\n";
}

const std::string ANN = record("Ann", "Lee", "7001"), BOB = record("Bob", "Stone", "7001");
// Another copy of the program may have written a header of its own.
const std::string HEADER = "<?xml version=\"1.0\"?>\n<!-- shared copy -->\n<Table>\n";

struct ContactsTest : testing::Test {
    temp_folder folder;
    std::string path = folder.path() + "anima.xml";
    contacts_book book{path};
};

// Each change on its own file: the record at `index` is `from` (none: an added
// record) and becomes `to` (none: deleted); every other byte stays.
TEST_F(ContactsTest, ChangesKeepEveryOtherByteAndNeverOverwriteADamagedFile) {
    using enum contacts_save;
    const contact_record ann{"Ann", "Lee", "7001"}, bob{"Bob", "Stone", "7001"};
    const std::string end = "</Table>";
    // Two equal records, one written on a single line by another copy.
    const std::string one_line =
        "<Record><FirstName>Ann</FirstName><LastName>Lee</LastName><Phone>7001</Phone></Record>\n";
    const struct {
        std::string before;
        size_t index;
        std::optional<contact_record> from, to;
        contacts_save outcome;
        std::string after;  // empty: as before
    } rows[] = {
        {HEADER + ANN + end + "\n<!-- after -->\n", 0, {}, bob, saved, HEADER + ANN + BOB + end},
        {HEADER + ANN + BOB + end, 0, ann, contact_record{"Ann", "Lee-Park", "7009"}, saved,
         HEADER + BOB + record("Ann", "Lee-Park", "7009") + end},
        {HEADER + ANN + BOB + end, 1, bob, {}, saved, HEADER + ANN + end},
        // Moved since the list was read: still found by its fields.
        {HEADER + BOB + ANN + end, 0, ann, {}, saved, HEADER + BOB + end},
        {HEADER + BOB + end, 0, ann, {}, not_found, ""},
        {HEADER + one_line + ANN + end, 1, ann, {}, saved, HEADER + one_line + end},
        // Deleting must not take a commented-out copy for the record.
        {"<Table>\n<!-- " + ANN + " -->\n" + ANN + end, 0, ann, {}, damaged, ""},
    };
    for (const auto& r : rows) {
        write(path, r.before);
        const contacts_save outcome = !r.from ? book.add(*r.to)
                                      : r.to  ? book.replace(r.index, *r.from, *r.to)
                                              : book.remove(r.index, *r.from);
        EXPECT_EQ(outcome, r.outcome) << r.before;
        EXPECT_EQ(read_whole_file(path), r.after.empty() ? r.before : r.after);
    }
    const std::string broken[] = {
        "<Table>\n" + ANN,                                   // cut off
        "<Table/>",                                          // no "</Table>" to add before
        "<!-- </Table> -->\n<Table>\n" + ANN + end,          // would be cut short
        "<Table>\n<Record><FirstName>x</Record>\n</Table>",  // not XML
    };
    for (const std::string& text : broken) {
        write(path, text);
        EXPECT_EQ(book.add(bob), damaged) << text;
        EXPECT_NE(book.remove(0, ann), saved) << text;
        EXPECT_EQ(read_whole_file(path), text);
    }
    const auto loaded = book.load();  // the last file
    ASSERT_TRUE(std::holds_alternative<contacts_parse_error>(loaded));
    EXPECT_EQ(std::get<contacts_parse_error>(loaded).line, 2);
    contacts_book nowhere(folder.path() + "missing-folder/anima.xml");
    EXPECT_EQ(nowhere.add(ann), failed);
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "missing-folder"));
}

TEST_F(ContactsTest, EmptyFieldsAndMarkupInNamesReadBackUnshifted) {
    const std::vector<contact_record> typed = {
        {"Cher", "", "7002"}, {"A&B <Co>", "x>y", "7003"}, {"", "Zed", "7004"}};
    for (const contact_record& r : typed) ASSERT_EQ(book.add(r), contacts_save::saved);
    const std::string text = read_whole_file(path).value_or("");
    EXPECT_EQ(text.substr(0, 8), "<Table>\n");
    EXPECT_NE(text.find("<LastName></LastName>"), std::string::npos);
    EXPECT_NE(text.find("<FirstName>A&amp;B &lt;Co&gt;</FirstName>"), std::string::npos);
    const auto read_back = read_contacts(text);
    ASSERT_TRUE(std::holds_alternative<std::vector<contact_record>>(read_back)) << text;
    EXPECT_EQ(std::get<std::vector<contact_record>>(read_back), typed);
    EXPECT_EQ(typed[0].display_name() + "|" + typed[1].display_name(), "Cher|A&B <Co> x>y");
    // A line feed or other control character never splits a field's line.
    EXPECT_EQ(escape_contact_text("a\nb\tc\x7f"), "abc");
}

TEST(ContactsConfigTest, SettingsTheWindowReads) {
    EXPECT_EQ(contacts_colour("236,233,216"), (std::array<int, 3>{236, 233, 216}));
    EXPECT_EQ(contacts_colour("300,-4,7"), (std::array<int, 3>{255, 0, 7}));
    for (const char* bad : {"", "1,2", "1,2,3,4", "236;233;216"})
        EXPECT_FALSE(contacts_colour(bad)) << bad;
    const std::pair<const char*, bool> flags[] = {
        {"1,127.0.0.1,2740", true}, {"1", true}, {"0,1", false}, {"", false}, {"11,1", false}};
    for (const auto& [ldap, on] : flags) EXPECT_EQ(directory_enabled(ldap), on) << ldap;

    // The rest of the account record is what the lab tests talk with.
    EXPECT_EQ(contacts_account::from_record("a,b,7001,,,,,,,,,x,70000").port, 0);
}

using rows_t = std::vector<std::pair<QString, QString>>;

rows_t rows_of(const QTreeWidget* list) {
    rows_t rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows.emplace_back(list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1));
    return rows;
}

// A row's icon, or with a number the strip's icon of that index.
QImage icon_of(const QTreeWidgetItem* row, int index = -1) {
    return (row ? row->icon(0) : contact_icon(index)).pixmap(QSize(24, 17)).toImage();
}

QStringList sources_of(contacts_dialog& dialog) {
    QStringList shown;
    for (int i = 0; i < dialog.sources()->count(); ++i) shown << dialog.sources()->itemText(i);
    return shown;
}

// Types into the "Search" dialog and presses "&Search Now".
std::function<void(QWidget*)> search_for(const QString& typed) {
    return [typed](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Search");
        QTest::keyClicks(window->findChild<QLineEdit*>(), typed);
        for (auto* button : window->findChildren<QAbstractButton*>())
            if (button->text() == "&Search Now") button->click();
    };
}

struct ContactsLabTest : ContactsTest {
    lab_process lab{LAB_ADDRESS};
    void SetUp() override { ASSERT_TRUE(lab.ready()); }
    // The subscriber with this number, in the lab's group.
    contacts_account account(const std::string& number) {
        return contacts_account::from_record("a,b," + number + ",c,d,e,f,K" + number + ",lab,g,h," +
                                             LAB_ADDRESS + "," +
                                             std::to_string(lab.directory_port));
    }
};

TEST_F(ContactsTest, MyContactsMessagesSearchMenuDeleteEditAndCall) {
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
        auto* edit = qobject_cast<edit_contact_dialog*>(window);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->windowTitle() + "/" + edit->last_edit()->text(), "Edit Contact/Moss");
        edit->phone_edit()->setText("7006");
        edit->accept();
    }});
    dialog.list()->setCurrentItem(dialog.list()->topLevelItem(1));
    dialog.edit();
    EXPECT_EQ(read_whole_file(path), "<Table>\n" + record("Ann", "Lee", "111") +
                                         record("Cy", "Moss", "7006") + "</Table>");
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
    contacts_dialog dialog(QColor(236, 233, 216), true, account("7001"), path);
    dialog.show();
    EXPECT_EQ(sources_of(dialog), (QStringList{"Directory", "LDAP Contacts", "My Contacts"}));
    EXPECT_EQ(dialog.sources()->currentText(), "LDAP Contacts");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.list()->topLevelItemCount() == 2; }, 15000));
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Boris Chan", "7002"}, {" ", "600"}}));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(icon_of(dialog.list()->topLevelItem(i)), icon_of(nullptr, 1));
    EXPECT_FALSE(dialog.delete_action()->isEnabled());

    // Boris logs on: his status marks him, and the marked come last.
    DirectoryClient presence;
    ASSERT_TRUE(presence.open(LAB_ADDRESS, lab.directory_port));
    ASSERT_EQ(presence.exchange(22, "7002:K7002", 2), 1);

    write(path, "<Table>\n" + record("Ann", "Lee", "111") + "</Table>");
    dialog.sources()->setCurrentText("My Contacts");
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Ann Lee", "111"}}));
    EXPECT_TRUE(dialog.edit_action()->isEnabled());
    dialog.sources()->setCurrentText("LDAP Contacts");
    EXPECT_EQ(rows_of(dialog.list()), (rows_t{{" ", "600"}, {"Boris Chan", "7002"}}));
    EXPECT_EQ(icon_of(dialog.list()->topLevelItem(0)), icon_of(nullptr, 1));
    EXPECT_EQ(icon_of(dialog.list()->topLevelItem(1)), icon_of(nullptr, 0));
    EXPECT_NE(icon_of(nullptr, 0), icon_of(nullptr, 1));
    EXPECT_EQ(lab.requests(13), (std::vector<std::string>{"7001", "7001"}));

    const QString artifacts = qEnvironmentVariable("DIALDECK_ARTIFACTS", ARTIFACTS_DIR);
    QDir().mkpath(artifacts);
    dialog.list()->setCurrentItem(dialog.list()->topLevelItem(1));
    EXPECT_TRUE(dialog.grab().save(artifacts + "/contacts.png"));

    // A damaged file is reported and the list shown before stays.
    write(path, "<Table>\n<Record>\n");
    {
        modal_answers answers({press_ok});
        dialog.sources()->setCurrentText("My Contacts");
        EXPECT_EQ(answers.titles, (std::vector<QString>{"Parse Error"}));
        EXPECT_TRUE(answers.texts[0].startsWith("At line ")) << answers.texts[0].toStdString();
        EXPECT_EQ(rows_of(dialog.list()), (rows_t{{"Ann Lee", "111"}}));
    }

    dialog.sources()->setCurrentText("Directory");
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog.delete_action()->isEnabled() || dialog.edit_action()->isEnabled());
    // typed, the server's mode, found, the message ("carla" is in another group)
    const std::tuple<const char*, const char*, rows_t, QString> rows[] = {
        {"a:l|", "normal", {{"Alma Berg", "7001"}, {"Alba Diaz", "7003"}}, ""},
        {"carla", "normal", {}, "Search returned 0 results."},
        {"al", "refuse", {}, "Search failed."}};
    for (const auto& [typed, mode, found, message] : rows) {
        lab.command(QByteArray("directory-mode ") + mode);
        std::deque<std::function<void(QWidget*)>> steps{search_for(typed)};
        if (!message.isEmpty()) steps.push_back(press_ok);
        modal_answers answers(steps);
        dialog.search();
        EXPECT_EQ(rows_of(dialog.list()), found) << typed;
        EXPECT_EQ(answers.texts.back(), message) << typed;
        EXPECT_EQ(answers.titles.back(), message.isEmpty() ? "Search" : "Searching...");
    }
    // By first name, then by last name.
    EXPECT_EQ(
        lab.requests(8),
        (std::vector<std::string>{"al*:*:lab:K7001:500:false", "*:al*:lab:K7001:500:false",
                                  "carla*:*:lab:K7001:500:false", "*:carla*:lab:K7001:500:false"}));
}

TEST_F(ContactsLabTest, AddWizardWritesTheFileOrTheServerList) {
    {
        add_contact_wizard wizard(account("7003"), book);
        wizard.show();
        EXPECT_EQ(wizard.windowTitle(), "Add a Contact");
        EXPECT_TRUE(wizard.manual_choice()->isChecked());
        wizard.next();
        wizard.first_edit()->setText("Dee");
        wizard.last_edit()->setText("Fox");
        wizard.phone_edit()->setText("7010");
        wizard.button(QWizard::FinishButton)->click();
        EXPECT_TRUE(wizard.book_changed());
        EXPECT_EQ(read_whole_file(path), "<Table>\n" + record("Dee", "Fox", "7010") + "</Table>");
    }
    add_contact_wizard wizard(account("7003"), book);
    wizard.show();
    wizard.search_choice()->setChecked(true);
    wizard.next();
    wizard.search_first_edit()->setText("bor");
    modal_answers answers({press_ok, press_ok});
    wizard.next();
    ASSERT_EQ(wizard.currentId(), add_contact_wizard::found_page);
    EXPECT_EQ(rows_of(wizard.results()), (rows_t{{"Boris Chan", "7002"}}));
    wizard.button(QWizard::FinishButton)->click();
    wizard.results()->setCurrentItem(wizard.results()->topLevelItem(0));
    wizard.button(QWizard::FinishButton)->click();
    EXPECT_EQ(answers.titles, (std::vector<QString>{"Add Contact", "Add Contact"}));
    EXPECT_EQ(answers.texts, (std::vector<QString>{"Please select a name to add to your contacts.",
                                                   "Boris Chan added to contacts."}));
    EXPECT_EQ(lab.requests(8), (std::vector<std::string>{"bor*:*:lab:K7003:500:false"}));
    // The server adds 7002 to the list of 7003; the file stays as it was.
    EXPECT_EQ(lab.requests(11), (std::vector<std::string>{"7003:7002"}));
    EXPECT_EQ(read_whole_file(path), "<Table>\n" + record("Dee", "Fox", "7010") + "</Table>");
}

TEST_F(ContactsTest, ActionsCallTheChosenNumberOrEndOnABadColour) {
    auto settings = lab_settings(folder, LAB_ADDRESS);
    ASSERT_TRUE(settings);
    ASSERT_TRUE(
        settings->write("Dialdeck", "State", "a,b,7001,c,d,e,f,K7001,lab,g,h,127.0.93.1,1"));
    ASSERT_TRUE(settings->write("Dialdeck", "LDAP", "0"));
    write(path, "<Table>\n" + record("Ann", "Lee", "111") + "</Table>");
    QWidget window;
    contacts_actions actions(&window, *settings, path.substr(0, path.rfind('/')));
    QSignalSpy calls(&actions, &contacts_actions::call_number);
    QSignalSpy ends(&actions, &contacts_actions::end_program);
    const auto call_first = [](QWidget* top) {
        auto* dialog = qobject_cast<contacts_dialog*>(top);
        ASSERT_TRUE(dialog);
        auto* list = dialog->list();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 1; }));
        list->setCurrentItem(list->topLevelItem(0));
        dialog->call_action()->trigger();
    };
    modal_answers answers({call_first, press_ok});
    EXPECT_EQ(actions.select_to_call(), contacts_outcome::done);
    ASSERT_TRUE(settings->write("Dialdeck", "ContactsDressing", "236,233"));
    EXPECT_EQ(actions.manage(), contacts_outcome::end_program);
    EXPECT_EQ(answers.titles.back() + ": " + answers.texts.back(),
              "Initializing...: Initialization error 102");
    EXPECT_EQ(calls, QList<QList<QVariant>>{{QString("111")}});
    EXPECT_EQ(ends, QList<QList<QVariant>>{{1}});
}

}  // namespace
}  // namespace voxline::test
