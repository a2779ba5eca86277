// The advertisement area, the entries from the settings and their rotation.
#include <gtest/gtest.h>

#include <QFile>
#include <QPointer>
#include <QTest>
#include <filesystem>
#include <string>

#include "ad_area.h"
#include "ad_entries.h"
#include "ad_rotation.h"
#include "atomic_file.h"
#include "lab_launcher.h"
#include "scrambler.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

// The lab's pictures, written once per program.
const std::string& lab_pictures_folder() {
    static temp_folder folder;
    [[maybe_unused]] static const auto written =
        run_lab({"--write-ads", QString::fromStdString(folder.path())});
    return folder.path();
}

QByteArray lab_picture(const char* name) {
    QFile file(QString::fromStdString(lab_pictures_folder()) + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A GIF of 1x1 frames on a screen of the given size.
QByteArray tiny_gif(int frames, int width = 1, int height = 1) {
    QByteArray gif("GIF89a");
    for (int side : {width, height}) gif += QByteArray(1, char(side & 0xff)) + char(side >> 8);
    gif += QByteArray("\x80\x00\x00\x00\x00\x00\xff\xff\xff", 9);  // a two-colour table
    for (int i = 0; i < frames; ++i) {
        gif += QByteArray("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8);  // 10 hundredths
        gif += QByteArray("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 15);
    }
    return gif + ";";
}

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
    for (const auto& r : rows) EXPECT_EQ(ad_frame_delay_ms(r[0]), r[1]) << r[0];
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

TEST(AdRotation, EachEntryForItsTimeThenWraps) {
    const std::string folder = lab_pictures_folder();
    // Requests are kept; the test answers them when it likes.
    std::vector<QString> urls;
    std::function<void(web_answer)> answer;
    QPointer<QObject> owner;
    AdArea area;
    AdRotation rotation({{folder + "still.bmp", 5, "http://lab/a"},
                         {folder + "missing.gif", 3, "http://lab/m"},
                         {folder + "animated.gif", 7, ""},
                         {"https://lab/ads/animated.gif", 2, "http://lab/b"}},
                        &area, [&](QObject* o, const QString& url, auto done) {
                            urls.push_back(url);
                            owner = o;
                            answer = std::move(done);
                        });
    // entry, interval, frames (0: the area stays empty for the entry's time), link
    const std::tuple<size_t, int, int, const char*> rows[] = {{0, 5000, 1, "http://lab/a"},
                                                              {1, 3000, 0, ""},
                                                              {2, 7000, 3, ""},
                                                              {3, 2000, 3, "http://lab/b"},
                                                              {0, 5000, 1, "http://lab/a"}};
    rotation.start();
    for (const auto& [index, interval_ms, frames, link] : rows) {
        SCOPED_TRACE(index);
        if (index == 3) {
            ASSERT_TRUE(answer);
            EXPECT_EQ(area.frame_count(), 0);  // nothing of the last picture while fetching
            answer({true, 200, lab_picture("animated.gif"), {}});
        }
        EXPECT_EQ(std::tuple(rotation.index(), rotation.interval_ms(), area.frame_count(),
                             area.link().toStdString()),
                  std::tuple(index, interval_ms, frames, std::string(link)));
        rotation.advance();
    }
    EXPECT_EQ(urls, std::vector<QString>{"https://lab/ads/animated.gif"});
    // No request outlives its entry; should its picture still arrive, it
    // must not cover a later entry's (the missing file's) empty place.
    EXPECT_FALSE(owner);
    answer({true, 200, lab_picture("animated.gif"), {}});
    EXPECT_EQ(area.frame_count(), 0);

    // No entries: no timer and an empty area.
    ASSERT_TRUE(area.load(lab_picture("animated.gif")) && area.show(QString("http://lab/x")));
    AdRotation none({}, &area, {});
    none.start();
    none.advance();
    EXPECT_EQ(std::tuple(none.interval_ms(), area.frame_count(), area.animating()),
              std::tuple(0, 0, false));
}

TEST(AdEntries, PairsThenEntries) {
    const std::string f = "/opt/dd/";
    struct row {
        const char* what;
        const char* advertisements;
        std::vector<std::string> ads;
        std::vector<ad_entry> expected;
    };
    // clang-format off
    const row rows[] = {
        {"pairs", "a.gif,5,b.bmp,10", {}, {{f + "a.gif", 5, ""}, {f + "b.bmp", 10, ""}}},
        {"pairs first, then the entries", "p.gif,2", {"q.gif,3,http://lab/q", "", "r.bmp,4"},
         {{f + "p.gif", 2, ""}, {f + "q.gif", 3, "http://lab/q"}, {f + "r.bmp", 4, ""}}},
        {"no time, zero or nonsense: one second", "a.gif,0,b.gif,x,c.gif,-7,d.gif", {"e.gif"},
         {{f + "a.gif", 1, ""}, {f + "b.gif", 1, ""}, {f + "c.gif", 1, ""}, {f + "d.gif", 1, ""},
          {f + "e.gif", 1, ""}}},
        {"a huge time is held to a day", "a.gif,99999999999999999999", {"b.gif,90000"},
         {{f + "a.gif", 86400, ""}, {f + "b.gif", 86400, ""}}},
        {"web pictures unchanged, a link keeps its commas", "",
         {"HTTPS://lab:2743/ads/a.gif, 20 ,http://lab/r?a=1,b=2"},
         {{"HTTPS://lab:2743/ads/a.gif", 20, "http://lab/r?a=1,b=2"}}},
        {"folders and absolute files", "pics\\a.gif,5,/srv/b.gif,6", {},
         {{f + "pics/a.gif", 5, ""}, {"/srv/b.gif", 6, ""}}},
        {"no picture, no entry", ",5, ,6", {",3,http://lab/x", " "}, {}},
    };
    // clang-format on
    for (const row& r : rows)
        EXPECT_EQ(ad_entries(r.advertisements, r.ads, f), r.expected) << r.what;
}

TEST(AdEntries, FromTheSettingsByKeyName) {
    temp_folder folder;
    std::filesystem::create_directories(folder.path() + "config");
    std::string ini = "[Dialdeck]\r\n";
    // File order is not the order shown: Ad001 to Ad999 by name.
    for (const auto& [key, value] : {std::pair{"Advertisements", "a.gif,5"},
                                     {"[Phone]", ""},
                                     {"Port", "2427"},
                                     {"[Ads]", ""},
                                     {"Ad999", "z.gif,9"},
                                     {"Ad010", "k.gif,8"},
                                     {"Ad001", "b.gif,7"}})
        ini += *value ? scramble(key) + "=" + scramble(value) + "\r\n" : std::string(key) + "\r\n";
    ASSERT_TRUE(write_whole_file(config_path(folder.path()), ini));
    const auto settings = app_settings::load(folder.path());
    ASSERT_TRUE(settings);
    const auto& p = folder.path();
    EXPECT_EQ(ad_entries(*settings), (std::vector<ad_entry>{{p + "a.gif", 5, ""},
                                                            {p + "b.gif", 7, ""},
                                                            {p + "k.gif", 8, ""},
                                                            {p + "z.gif", 9, ""}}));
}

}  // namespace
}  // namespace voxline::test
