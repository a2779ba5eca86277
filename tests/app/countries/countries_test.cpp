// The country table as shipped and read, and the picker as the user sees and
// drives it.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <functional>
#include <optional>

#include "atomic_file.h"
#include "country_dialog.h"
#include "country_table.h"
#include "modal_answers.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::country_dialog;

void press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
}

// Runs the picker; the script acts on it once it is shown modally.
std::optional<std::string> pick_with(const std::function<void(country_dialog&)>& script) {
    std::optional<std::string> dialled;
    modal_answers picker({[&](QWidget* top) {
        auto* dialog = qobject_cast<country_dialog*>(top);
        ASSERT_TRUE(dialog);
        script(*dialog);
        if (dialog->isVisible()) dialog->reject();  // never leave the test hanging
    }});
    country_dialog::pick(dialdeck::builtin_countries(), "10,20,30",
                         [&](const std::string& code) { dialled = code; });
    return dialled;
}

TEST(CountryDialog, LooksAsDescribed) {
    country_dialog dialog(dialdeck::builtin_countries(), "10,20,30");
    EXPECT_EQ(dialog.windowTitle(), "Country Codes");
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 234);
    const QTreeWidget* list = dialog.list();
    for (const int c : {0, 1})
        EXPECT_EQ(list->headerItem()->text(c) + " " + QString::number(list->columnWidth(c)),
                  c ? "Code 50" : "Country 150");
    EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(10, 20, 30));

    QTest::keyClicks(dialog.name_edit(), "uni");
    ASSERT_TRUE(dialog.list()->currentItem());
    EXPECT_EQ(dialog.list()->currentItem()->text(0), "United Arab Emirates");
    EXPECT_TRUE(dialog.list()->currentItem()->isSelected());

    country_dialog plain(dialdeck::builtin_countries(), "10,20");
    EXPECT_NE(plain.palette().color(QPalette::Window), QColor(10, 20, 30));
}

TEST(CountryDialog, PicksDialTheChosenCode) {
    EXPECT_EQ(pick_with([](country_dialog& d) {
                  QTest::keyClicks(d.name_edit(), "canada");
                  press(d, QDialogButtonBox::Ok);
              }),
              "1");
    EXPECT_EQ(pick_with([](country_dialog& d) {
                  QTreeWidgetItem* vatican = d.list()->findItems("Vatican City", {}).value(0);
                  ASSERT_TRUE(vatican);
                  d.list()->scrollToItem(vatican);
                  const QRect place = d.list()->visualItemRect(vatican);
                  // A double-click's first press lands on the row before the second.
                  QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, place.center());
                  QTest::mouseDClick(d.list()->viewport(), Qt::LeftButton, {}, place.center());
              }),
              "3906");
    // OK without a row warns and leaves the picker open; Cancel dials nothing.
    EXPECT_EQ(pick_with([&](country_dialog& d) {
                  modal_answers warning({press_ok});
                  press(d, QDialogButtonBox::Ok);
                  EXPECT_TRUE(d.isVisible());
                  EXPECT_EQ(warning.titles, std::vector<QString>{"Select Country"});
                  EXPECT_EQ(warning.texts, std::vector<QString>{"Please select a country code."});
                  QTest::keyClicks(d.name_edit(), "uni");
                  press(d, QDialogButtonBox::Cancel);
                  EXPECT_FALSE(d.isVisible());
              }),
              std::nullopt);
}

std::string lines_of(const std::vector<dialdeck::country>& rows) {
    std::string text;
    for (const dialdeck::country& row : rows) text += row.name + ";" + row.code + "\n";
    return text;
}

TEST(CountryTable, ShippedTableHas234RowsInOrder) {
    const auto shipped = dialdeck::read_whole_file(SHIPPED_COUNTRIES);
    ASSERT_TRUE(shipped);
    const auto rows = dialdeck::parse_countries(*shipped);
    EXPECT_EQ(rows.size(), 234u);
    EXPECT_EQ(lines_of(rows), *shipped);  // no line skipped or changed
    // The program's own copy stands in when the file is missing.
    temp_folder empty;
    EXPECT_EQ(lines_of(dialdeck::load_countries(empty.path())), *shipped);
}

TEST(CountryTable, BadLinesAreSkipped) {
    temp_folder folder;
    std::ofstream(folder.path() + "countries.txt") << "Narnia;12\r\n"
                                                      "no separator\n"
                                                      ";44\n"
                                                      "Nameless code;\n"
                                                      "Letters;12a\n"
                                                      "Too long;123456789\n"
                                                      "Tab\tName;7\n"
                                                      "\n"
                                                      "Last;3906";
    EXPECT_EQ(lines_of(dialdeck::load_countries(folder.path())), "Narnia;12\nLast;3906\n");

    std::ofstream(folder.path() + "countries.txt") << "nothing;valid;\n";
    EXPECT_EQ(dialdeck::load_countries(folder.path()).size(), 234u);
}

TEST(CountryTable, PrefixSearchFindsTheFirstMatch) {
    const auto& rows = dialdeck::builtin_countries();
    for (const auto& [typed, found] : {std::pair{"UNITED K", "United Kingdom"},
                                       {"c", "Cambodia"},
                                       {"Korea (S", "Korea (South)"},
                                       {"zz", ""},
                                       {"", ""}}) {
        const auto index = dialdeck::find_country(rows, typed);
        EXPECT_EQ(index ? rows.at(*index).name : "", found) << typed;
    }
}

}  // namespace
}  // namespace voxline::test
