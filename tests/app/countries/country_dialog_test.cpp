// The country picker as the user sees and drives it.
#include "country_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <optional>

namespace voxline::test {
namespace {

using dialdeck::country_dialog;

void press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
}

// Runs the picker; the script acts on it once it is shown modally.
std::optional<std::string> pick_with(const std::function<void(country_dialog&)>& script) {
    std::optional<std::string> dialled;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<country_dialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        script(*dialog);
        if (dialog->isVisible()) dialog->reject();  // never leave the test hanging
    });
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
    QString warning;
    EXPECT_EQ(pick_with([&](country_dialog& d) {
                  QTimer::singleShot(0, [&] {
                      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                      warning = box ? box->windowTitle() + "|" + box->text() : "no box";
                      if (box) box->accept();
                  });
                  press(d, QDialogButtonBox::Ok);
                  EXPECT_TRUE(d.isVisible());
                  QTest::keyClicks(d.name_edit(), "uni");
                  press(d, QDialogButtonBox::Cancel);
                  EXPECT_FALSE(d.isVisible());
              }),
              std::nullopt);
    EXPECT_EQ(warning, "Select Country|Please select a country code.");
}

}  // namespace
}  // namespace voxline::test
