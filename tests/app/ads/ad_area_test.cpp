#include "ad_area.h"

#include <gtest/gtest.h>

#include <QTest>

#include "ads_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::AdArea;

// Frame counts, sizes and delays of the lab's pictures are the end-to-end
// test's; here what each frame leaves on the screen.
TEST(AdArea, LabAnimationDisposesAndLoopsItsFrames) {
    AdArea area;
    ASSERT_TRUE(area.load(lab_picture("animated.gif"))) << area.last_error().toStdString();
    ASSERT_TRUE(area.show(QString("http://lab/rates")));
    const QColor blue(20, 40, 120), red(220, 30, 30), green(30, 170, 60);
    // Disposal 2 gives the red square's place back, disposal 3 and the end of
    // the loop the picture before the green one.
    const std::tuple<int, int, QColor, QColor> rows[] = {
        {0, 100, blue, blue}, {1, 500, red, blue}, {2, 2000, blue, green}, {0, 100, blue, blue}};
    for (const auto& [frame, shown_ms, at_red, at_green] : rows) {
        const QImage shot = area.grab().toImage();
        EXPECT_EQ(area.current_frame(), frame);
        EXPECT_EQ(area.frame_interval_ms(), shown_ms) << frame;
        EXPECT_EQ(shot.pixelColor(21, 20), at_red) << frame;
        EXPECT_EQ(shot.pixelColor(111, 25), at_green) << frame;
        area.next_frame();
    }
    area.next_frame();
    // Stopping on the 2 s frame ends the animation at once.
    area.stop();
    EXPECT_EQ(std::pair(area.animating(), area.frame_interval_ms()), std::pair(false, 0));
    QTest::qWait(250);  // longer than the first frame's 100 ms
    EXPECT_EQ(area.current_frame(), 2);
}

TEST(AdArea, ShortDelaysShowATenthOfASecond) {
    // reported ms -> shown ms: 0 to 4 hundredths are 100 ms
    const int rows[][2] = {{0, 100}, {40, 100}, {50, 50}, {60, 60}, {-1, 100}, {65535, 65535}};
    for (const auto& r : rows) EXPECT_EQ(dialdeck::ad_frame_delay_ms(r[0]), r[1]) << r[0];
}

// Up to 500 frames and 4096 pixels a side; a refused picture leaves the area empty.
TEST(AdArea, PicturesWithinTheLimitsLoadOthersAreRefused) {
    const struct {
        const char* what;
        QByteArray bytes;
        int frames;  // 0: refused
        QSize size;
    } rows[] = {
        {"one-frame GIF", tiny_gif(1, 3, 2), 1, {3, 2}},
        {"500 frames", tiny_gif(500), 500, {1, 1}},
        {"nothing", {}, 0, {}},
        {"text", "<html>not found</html>", 0, {}},
        {"header only", lab_picture("animated.gif").left(13), 0, {}},
        {"501 frames", tiny_gif(501), 0, {}},
        // Refused by its header, before a 100 MB screen is decoded.
        {"a 5000 x 5000 screen", tiny_gif(2, 5000, 5000), 0, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        AdArea area;
        ASSERT_TRUE(area.load(lab_picture("animated.gif")));
        EXPECT_EQ(area.load(r.bytes), r.frames > 0);
        EXPECT_EQ(area.last_error().isEmpty(), r.frames > 0);
        EXPECT_EQ(area.frame_count(), r.frames);
        EXPECT_EQ(area.show(QString("http://lab/x")), r.frames > 0);
        EXPECT_EQ(area.animating(), r.frames > 1);
        EXPECT_EQ(r.frames ? area.size() : QSize(), r.size);
        EXPECT_TRUE(r.frames < 2 || area.frame_interval_ms() == 100) << area.frame_interval_ms();
    }
    AdArea area;
    EXPECT_FALSE(area.load(QString("/nonexistent/ad.gif")));
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
