#include "ad_rotation.h"

#include <gtest/gtest.h>

#include <QPointer>

#include "ad_area.h"
#include "ads_test_support.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

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

}  // namespace
}  // namespace voxline::test
