#include "contacts_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "atomic_file.h"
#include "contacts_book.h"
#include "contacts_config.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::contact_record;
using dialdeck::contacts_book;
using dialdeck::contacts_save;

const std::string ANN =
    "<Record>\n\t<FirstName>Ann</FirstName>\n\t<LastName>Lee</LastName>\n"
    "\t<Phone>7001</Phone>\n</Record>\n";
const std::string BOB =
    "<Record>\n\t<FirstName>Bob</FirstName>\n\t<LastName>Stone</LastName>\n"
    "\t<Phone>7001</Phone>\n</Record>\n";
// Another copy of the program may have written a header of its own.
const std::string HEADER = "<?xml version=\"1.0\"?>\n<!-- shared copy -->\n<Table>\n";

std::string read(const std::string& path) {
    return dialdeck::read_whole_file(path).value_or("(unreadable)");
}

void write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(dialdeck::write_whole_file(path, text));
}

struct ContactsBookTest : testing::Test {
    temp_folder folder;
    std::string path = folder.path() + "anima.xml";
    contacts_book book{path};
};

TEST_F(ContactsBookTest, ChangesKeepTheHeaderAndTheRecordLayoutByteForByte) {
    write(path, HEADER + ANN + "</Table>\n<!-- after the table -->\n");
    EXPECT_EQ(book.add({"Bob", "Stone", "7001"}), contacts_save::saved);
    EXPECT_EQ(read(path), HEADER + ANN + BOB + "</Table>");
    EXPECT_EQ(book.replace(0, {"Ann", "Lee", "7001"}, {"Ann", "Lee-Park", "7009"}),
              contacts_save::saved);
    EXPECT_EQ(read(path), HEADER + BOB +
                              "<Record>\n\t<FirstName>Ann</FirstName>\n\t<LastName>Lee-Park"
                              "</LastName>\n\t<Phone>7009</Phone>\n</Record>\n</Table>");
}

TEST_F(ContactsBookTest, DeletesTheSelectedOfTwoRecordsSharingANumber) {
    write(path, HEADER + ANN + BOB + "</Table>");
    EXPECT_EQ(book.remove(1, {"Bob", "Stone", "7001"}), contacts_save::saved);
    EXPECT_EQ(read(path), HEADER + ANN + "</Table>");
    // A record that moved since the list was read is still found by its fields.
    write(path, HEADER + BOB + ANN + "</Table>");
    EXPECT_EQ(book.remove(0, {"Ann", "Lee", "7001"}), contacts_save::saved);
    EXPECT_EQ(read(path), HEADER + BOB + "</Table>");
    EXPECT_EQ(book.remove(0, {"Ann", "Lee", "7001"}), contacts_save::not_found);
    EXPECT_EQ(read(path), HEADER + BOB + "</Table>");
    // Two equal records, one written on a single line by another copy.
    const std::string one_line =
        "<Record><FirstName>Ann</FirstName><LastName>Lee</LastName>"
        "<Phone>7001</Phone></Record>\n";
    write(path, HEADER + one_line + ANN + "</Table>");
    EXPECT_EQ(book.remove(1, {"Ann", "Lee", "7001"}), contacts_save::saved);
    EXPECT_EQ(read(path), HEADER + one_line + "</Table>");
}

TEST_F(ContactsBookTest, EmptyFieldsAndMarkupInNamesReadBackUnshifted) {
    const std::vector<contact_record> typed = {
        {"Cher", "", "7002"}, {"A&B <Co>", "x>y", "7003"}, {"", "Zed", "7004"}};
    for (const contact_record& r : typed) ASSERT_EQ(book.add(r), contacts_save::saved);
    const std::string text = read(path);
    EXPECT_EQ(text.substr(0, 8), "<Table>\n");
    EXPECT_NE(text.find("<LastName></LastName>"), std::string::npos);
    EXPECT_NE(text.find("<FirstName>A&amp;B &lt;Co&gt;</FirstName>"), std::string::npos);
    const auto read_back = dialdeck::read_contacts(text);
    ASSERT_TRUE(std::holds_alternative<std::vector<contact_record>>(read_back)) << text;
    EXPECT_EQ(std::get<std::vector<contact_record>>(read_back), typed);
    EXPECT_EQ(typed[0].display_name(), "Cher");
    EXPECT_EQ(typed[1].display_name(), "A&B <Co> x>y");
    // A line feed or other control character never splits a field's line.
    EXPECT_EQ(dialdeck::escape_contact_text("a\nb\tc\x7f"), "abc");
}

TEST_F(ContactsBookTest, DamagedFilesAreNeverOverwritten) {
    const std::string damaged[] = {
        "<Table>\n" + ANN,                                   // cut off
        "<Table/>",                                          // no "</Table>" to add before
        "<!-- </Table> -->\n<Table>\n" + ANN + "</Table>",   // would be cut short
        "<Table>\n<Record><FirstName>x</Record>\n</Table>",  // not XML
    };
    for (const std::string& text : damaged) {
        write(path, text);
        EXPECT_EQ(book.add({"Bob", "Stone", "7001"}), contacts_save::damaged) << text;
        EXPECT_NE(book.remove(0, {"Ann", "Lee", "7001"}), contacts_save::saved) << text;
        EXPECT_EQ(read(path), text);
    }
    // Deleting must not take a commented-out copy for the record.
    const std::string commented = "<Table>\n<!-- " + ANN + " -->\n" + ANN + "</Table>";
    write(path, commented);
    EXPECT_EQ(book.remove(0, {"Ann", "Lee", "7001"}), contacts_save::damaged);
    EXPECT_EQ(read(path), commented);
    write(path, "<Table>\n<Record><FirstName>x</Record>\n</Table>");
    const auto loaded = book.load();
    ASSERT_TRUE(std::holds_alternative<dialdeck::contacts_parse_error>(loaded));
    EXPECT_EQ(std::get<dialdeck::contacts_parse_error>(loaded).line, 2);
}

TEST_F(ContactsBookTest, AFailedSaveIsReported) {
    contacts_book nowhere(folder.path() + "missing-folder/anima.xml");
    EXPECT_EQ(nowhere.add({"Ann", "Lee", "7001"}), contacts_save::failed);
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "missing-folder"));
}

TEST(ContactsConfigTest, SettingsTheWindowReads) {
    using dialdeck::contacts_colour;
    EXPECT_EQ(contacts_colour("236,233,216"), (std::array<int, 3>{236, 233, 216}));
    EXPECT_EQ(contacts_colour("300,-4,7"), (std::array<int, 3>{255, 0, 7}));
    for (const char* bad : {"", "1,2", "1,2,3,4", "236;233;216"}) {
        EXPECT_FALSE(contacts_colour(bad)) << bad;
    }
    const std::pair<const char*, bool> flags[] = {
        {"1,127.0.0.1,2740", true}, {"1", true}, {"0,1", false}, {"", false}, {"11,1", false}};
    for (const auto& [ldap, on] : flags) EXPECT_EQ(dialdeck::directory_enabled(ldap), on) << ldap;

    // The rest of the account record is what the lab tests talk with.
    EXPECT_EQ(dialdeck::contacts_account::from_record("a,b,7001,,,,,,,,,x,70000").port, 0);
}

}  // namespace
}  // namespace voxline::test
