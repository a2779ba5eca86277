// The country picker as the user sees and drives it.
#include "country_dialog.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <optional>

#include "modal_answers.h"

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

}  // namespace
}  // namespace voxline::test
