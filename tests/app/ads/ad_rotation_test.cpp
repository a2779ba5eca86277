#include "ad_rotation.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <functional>
#include <vector>

#include "ad_area.h"
#include "ads_test_support.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

// Keeps each request; the test answers them when it likes.
struct held_fetches {
    std::vector<QString> urls;
    std::vector<std::function<void(web_answer)>> answers;
    std::vector<QPointer<QObject>> owners;
    ad_fetcher fetcher() {
        return [this](QObject* owner, const QString& url, std::function<void(web_answer)> done) {
            urls.push_back(url);
            owners.emplace_back(owner);
            answers.push_back(std::move(done));
        };
    }
};

web_answer got(const QByteArray& body) {
    return {true, 200, body, {}};
}

TEST(AdRotation, EachEntryForItsTimeThenWraps) {
    const std::string folder = lab_pictures_folder();
    held_fetches fetches;
    AdArea area;
    AdRotation rotation({{folder + "still.bmp", 5, "http://lab/a"},
                         {folder + "missing.gif", 3, "http://lab/m"},
                         {folder + "animated.gif", 7, ""},
                         {"https://lab/ads/animated.gif", 2, "http://lab/b"}},
                        &area, fetches.fetcher());
    struct row {
        size_t index;
        int interval_ms;
        int frames;  // 0: the area stays empty for the entry's time
        const char* link;
    };
    const row rows[] = {
        {0, 5000, 1, "http://lab/a"},
        {1, 3000, 0, ""},
        {2, 7000, 3, ""},
        {3, 2000, 3, "http://lab/b"},
        {0, 5000, 1, "http://lab/a"},
    };
    rotation.start();
    for (const row& r : rows) {
        SCOPED_TRACE(r.index);
        if (r.index == 3) {
            ASSERT_EQ(fetches.answers.size(), 1u);
            EXPECT_EQ(area.frame_count(), 0);  // nothing of the last picture while fetching
            fetches.answers.back()(got(lab_picture("animated.gif")));
        }
        EXPECT_EQ(rotation.index(), r.index);
        EXPECT_EQ(rotation.interval_ms(), r.interval_ms);
        EXPECT_EQ(area.frame_count(), r.frames);
        EXPECT_EQ(area.link(), r.link);
        rotation.advance();
    }
    EXPECT_EQ(fetches.urls, std::vector<QString>{"https://lab/ads/animated.gif"});
    // No request outlives its entry; should its picture still arrive, it
    // must not cover a later entry's (the missing file's) empty place.
    EXPECT_FALSE(fetches.owners.back());
    fetches.answers.back()(got(lab_picture("animated.gif")));
    EXPECT_EQ(area.frame_count(), 0);
}

TEST(AdRotation, NoEntriesNoTimerAndAnEmptyArea) {
    AdArea area;
    ASSERT_TRUE(area.load(lab_picture("animated.gif")));
    ASSERT_TRUE(area.show(QString("http://lab/x")));
    AdRotation rotation({}, &area, {});
    rotation.start();
    rotation.advance();
    EXPECT_EQ(rotation.interval_ms(), 0);
    EXPECT_EQ(area.frame_count(), 0);
    EXPECT_FALSE(area.animating());
}

}  // namespace
}  // namespace voxline::test
