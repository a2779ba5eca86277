// That fitted text stays inside its rectangle, in every mode, is the fitting
// fuzz target's check on its corpus.
#include "render/text_fitting.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

namespace voxline::test {
namespace {

using namespace kestrel;

const QStringList FACES{QStringLiteral("No Such Face"), QStringLiteral("dejavu sans")};

TEST(ControlTextFitting, CountAndFontSizeFollowTheTextAndRectangle) {
    EXPECT_EQ(status_char_count("Idle", 20), 20);
    // 13 characters, four narrow (counted as half): longer than the longest entry of 12.
    EXPECT_EQ(status_char_count("Connecting...", 12), 11);
    // All entries empty: the text's own length, never zero.
    EXPECT_EQ(status_char_count("Dialing", 0), 7);

    const std::array<int, 5> cases[] = {
        // width, height, count: font height, character width
        {127, 17, 20, 17, 6},   // width from the count
        {200, 11, 2, 11, 5},    // at most 5/11 of the height
        {50, 100, 100, 24, 4},  // 4-pixel floor, height lowered to 6 widths
        {111, 11, 0, 11, 4},    // no count: the floor
    };
    for (const auto& [width, height, count, font_height, char_width] : cases) {
        const auto size = fit_font_size(width, height, count);
        EXPECT_EQ(std::pair(size.height, size.char_width), std::pair(font_height, char_width))
            << width << "x" << height << "/" << count;
    }

    // The first known face, else the application's font at weight 400.
    const QFont known = make_font(FACES, {17, 6}, 900);
    EXPECT_EQ(std::tuple(known.family().toStdString(), known.weight(), known.pixelSize()),
              std::tuple("DejaVu Sans", QFont::Black, 17));
    EXPECT_EQ(make_font({QStringLiteral("No Such Face")}, {17, 6}, 900).weight(), QFont::Normal);
}

TEST(ControlTextFitting, ShrinksBeforeCuttingAndNumbersKeepTheirEnd) {
    const QString text = QStringLiteral("WWWWWWWWWW");
    const QRect rect(0, 0, 100, 20);
    const auto cut = fit_text(text, rect, {FACES, 400, fit_mode::end_ellipsis, true, 0});
    EXPECT_TRUE(cut.text.endsWith(QStringLiteral("...")));
    EXPECT_TRUE(text.startsWith(cut.text.chopped(3)));
    const auto shrunk = fit_text(text, rect, {FACES, 400, fit_mode::shrink, true, 0});
    EXPECT_EQ(shrunk.text, text);
    EXPECT_LT(shrunk.font.stretch(), cut.font.stretch());
    EXPECT_LE(QFontMetricsF(shrunk.font).horizontalAdvance(shrunk.text), 100);

    // A status longer than the longest entry (20) is drawn narrower, not cut,
    // in rectangle 17 of the initial layout.
    const QRect status_rect(68, 4, 126, 15);
    const auto style = [](const QString& text) {
        return text_style{FACES, 400, fit_mode::end_ellipsis, true, status_char_count(text, 20)};
    };
    const QString status = QStringLiteral("Connected");
    const QString longer = QStringLiteral("Disconnecting from the server");
    const auto normal = fit_text(status, status_rect, style(status));
    const auto narrow = fit_text(longer, status_rect, style(longer));
    EXPECT_EQ(narrow.text, longer);
    EXPECT_LT(narrow.font.stretch(), normal.font.stretch());
    EXPECT_LE(QFontMetricsF(narrow.font).horizontalAdvance(narrow.text), status_rect.width());

    // A typed number keeps its last digits.
    const QString number = QStringLiteral("0011442079460000123456789");
    const auto fitted =
        fit_text(number, {107, 6, 60, 17}, {FACES, 400, fit_mode::keep_end, false, 20});
    ASSERT_TRUE(fitted.text.startsWith(QStringLiteral("...")));
    EXPECT_GT(fitted.text.size(), 6);
    EXPECT_TRUE(number.endsWith(fitted.text.mid(3)));
    EXPECT_TRUE(fitted.flags & Qt::AlignLeft);
}

}  // namespace
}  // namespace voxline::test
