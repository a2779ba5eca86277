#include "ad_area.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTest>

#include "ads_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::AdArea;

QColor pixel(AdArea& area, int x, int y) {
    return area.grab().toImage().pixelColor(x, y);
}

TEST(AdArea, LabAnimationPlaysItsFramesAndDelays) {
    AdArea area;
    ASSERT_TRUE(area.load(lab_picture("animated.gif"))) << area.last_error().toStdString();
    EXPECT_EQ(area.size(), QSize(160, 60));
    EXPECT_EQ(area.frame_count(), 3);
    ASSERT_TRUE(area.show(QString("http://lab/rates")));
    const QColor blue(20, 40, 120), red(220, 30, 30), green(30, 170, 60);
    struct row {
        int frame;
        int shown_ms;  // delays 0, 50 and 200 hundredths
        QColor at_red_square, at_green_square;
    };
    // Disposal 2 gives the red square's place back, disposal 3 and the end of
    // the loop the picture before the green one.
    const row rows[] = {{0, 100, blue, blue},
                        {1, 500, red, blue},
                        {2, 2000, blue, green},
                        {0, 100, blue, blue},
                        {1, 500, red, blue}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.frame);
        EXPECT_TRUE(area.animating());
        EXPECT_EQ(area.current_frame(), r.frame);
        EXPECT_EQ(area.frame_interval_ms(), r.shown_ms);
        EXPECT_EQ(pixel(area, 21, 20), r.at_red_square);
        EXPECT_EQ(pixel(area, 111, 25), r.at_green_square);
        area.next_frame();
    }
    // Stopping on the 2 s frame ends the animation at once.
    area.stop();
    EXPECT_FALSE(area.animating());
    EXPECT_EQ(area.frame_interval_ms(), 0);
    QTest::qWait(250);  // longer than the first frame's 100 ms
    EXPECT_EQ(area.current_frame(), 2);
}

TEST(AdArea, ShortDelaysShowATenthOfASecond) {
    // reported ms -> shown ms: 0 to 4 hundredths are 100 ms
    const int rows[][2] = {{0, 100}, {40, 100}, {50, 50}, {60, 60}, {-1, 100}, {65535, 65535}};
    for (const auto& r : rows) EXPECT_EQ(dialdeck::ad_frame_delay_ms(r[0]), r[1]) << r[0];
}

// One frame runs no timer; up to 500 frames play.
TEST(AdArea, GoodPicturesKeepEveryFrame) {
    struct row {
        const char* what;
        QByteArray bytes;
        QSize size;
        int frames;
    };
    const row rows[] = {
        {"one-frame GIF", tiny_gif(1, 3, 2), {3, 2}, 1},
        {"500 frames", tiny_gif(500), {1, 1}, 500},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        AdArea area;
        ASSERT_TRUE(area.load(r.bytes));
        ASSERT_TRUE(area.show(QString()));
        EXPECT_EQ(area.frame_count(), r.frames);
        EXPECT_EQ(area.animating(), r.frames > 1);
        EXPECT_EQ(area.size(), r.size);
        if (r.frames > 1) {
            EXPECT_EQ(area.frame_interval_ms(), 100);
        }
    }
}

TEST(AdArea, BadOrOversizedPicturesAreRefused) {
    const QByteArray gif = lab_picture("animated.gif");
    const struct {
        const char* what;
        QByteArray bytes;
    } rows[] = {
        {"nothing", {}},
        {"text", "<html>not found</html>"},
        {"header only", gif.left(13)},
        {"501 frames", tiny_gif(501)},
        {"a 5000 x 5000 screen", tiny_gif(2, 5000, 5000)},
    };
    for (const auto& r : rows) {
        AdArea area;
        ASSERT_TRUE(area.load(gif));
        EXPECT_FALSE(area.load(r.bytes)) << r.what;
        EXPECT_FALSE(area.last_error().isEmpty()) << r.what;
        EXPECT_EQ(area.frame_count(), 0) << r.what;
        EXPECT_FALSE(area.show(QString("http://lab/x"))) << r.what;
        EXPECT_FALSE(area.animating()) << r.what;
    }
    AdArea area;
    EXPECT_FALSE(area.load(QString("/nonexistent/ad.gif")));
    // Refused by its header, before a 100 MB screen is decoded.
    EXPECT_FALSE(area.load(tiny_gif(2, 5000, 5000)));
    EXPECT_TRUE(area.last_error().contains("4096")) << area.last_error().toStdString();
}

TEST(AdArea, ClickOpensTheLink) {
    std::vector<QString> opened;
    AdArea area(nullptr, [&](const QString& link) { opened.push_back(link); });
    area.show();
    ASSERT_TRUE(area.load(lab_picture("still.bmp")));
    ASSERT_TRUE(area.show(QString("http://lab/rates")));
    QTest::mouseClick(&area, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseClick(&area, Qt::RightButton, {}, QPoint(10, 10));
    ASSERT_TRUE(area.show(QString()));
    QTest::mouseClick(&area, Qt::LeftButton, {}, QPoint(10, 10));
    area.clear();
    QTest::mouseClick(&area, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(opened, std::vector<QString>{"http://lab/rates"});
}

}  // namespace
}  // namespace voxline::test
