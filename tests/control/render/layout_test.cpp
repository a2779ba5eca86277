// Layout parameters, and what a point on the phone hits.
#include "render/layout.h"

#include <gtest/gtest.h>

#include "parameters/parameter_defaults.h"
#include "render/hit_test.h"

namespace voxline::test {
namespace {

using kestrel::build_layout;
using kestrel::control_layout;
using kestrel::layout_point;
using kestrel::layout_rect;
using kestrel::ParseLocationParameter;
using kestrel::slider_kind;

const layout_rect CLIENT{0, 0, 275, 190};

TEST(ControlLayout, ColoursAreHashAndSixHexDigitsWithRedLowest) {
    const struct {
        const char* text;
        uint32_t rgb;
    } cases[] = {
        {"#00CCCC", 0xCCCC00}, {"#FF0000", 0x0000FF}, {"#0000ff", 0xFF0000},
        {"#123456", 0x563412}, {"00CCCC", 0},         {"#00CCC", 0},
        {"#00CCCCC", 0},       {"#GG0000", 0},        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(kestrel::ConvertTextToRGB(c.text), c.rgb) << c.text;
}

TEST(ControlLayout, EntriesArePixelsOrPercentagesOfTheClient) {
    const struct {
        const char* text;
        layout_rect client;
        layout_rect expected;
    } cases[] = {
        {"50%, 0, 50%, 100%", {0, 0, 200, 100}, {100, 0, 200, 100}},
        {"50*, 0, 50*, 100*", {0, 0, 200, 100}, {100, 0, 200, 100}},
        {"104,  45, 50, 30", {10, 20, 285, 210}, {114, 65, 164, 95}},
        {"33.3%, 12.9, 1.5.3, 10%", {0, 0, 200, 100}, {66, 12, 67, 22}},
        {" 1 0 , abc, x7, 5", CLIENT, {10, 0, 10, 5}},
        {"%, *, 50, 0", CLIENT, {0, 0, 50, 0}},
        {"1, 2, 3", CLIENT, {}},
        {"1, 2, 3, 4, 5", CLIENT, {}},
        {"", CLIENT, {}},
        {"99999999999, 5, 0, 0", CLIENT, {32767, 5, 32767, 5}},
        {"0, 0, 4000000000%, 1e9", {0, 0, 60000, 100}, {0, 0, 32767, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLocationParameter(c.text, c.client), c.expected) << c.text;
}

TEST(ControlLayout, DefaultsTwentyOneEntriesAndSliderOrientation) {
    std::string layout_b = kestrel::LAYOUT_B;
    const auto b = build_layout(layout_b, "Horizontal", CLIENT);
    EXPECT_EQ(b.rects[0], (layout_rect{0, 0, 67, 23}));
    EXPECT_EQ(b.rects[17], (layout_rect{68, 4, 194, 19}));
    EXPECT_EQ(b.rects[12], (layout_rect{218, 154, 268, 184}));

    const auto twenty_one = build_layout(layout_b.substr(0, layout_b.rfind('|')), "H", CLIENT);
    EXPECT_EQ(twenty_one.rects[0], (layout_rect{0, 81, 72, 124}));
    EXPECT_EQ(twenty_one.rects[17], (layout_rect{150, 24, 261, 35}));
    EXPECT_EQ(twenty_one.rects[19], (layout_rect{13, 138, 63, 150}));
    EXPECT_EQ(twenty_one.rects[5], (layout_rect{161, 81, 211, 111}));
    EXPECT_EQ(twenty_one.rects[15], (layout_rect{}));

    // Slider areas and thumbs follow the orientation.
    const auto horizontal = build_layout(kestrel::LAYOUT_B, "horizontal", CLIENT);
    EXPECT_TRUE(horizontal.horizontal);
    // Thumb 5x12: along by 5/2 + 1, across by 1.
    EXPECT_EQ(horizontal.rects[22], (layout_rect{116, 30, 170, 44}));
    EXPECT_EQ(horizontal.rects[23], (layout_rect{34, 30, 88, 44}));
    EXPECT_EQ(horizontal.speaker_thumb, (kestrel::layout_point{119, 37}));

    const auto vertical = build_layout(kestrel::LAYOUT_B, "Vertical", CLIENT);
    EXPECT_FALSE(vertical.horizontal);
    EXPECT_EQ(vertical.rects[22], (layout_rect{118, 24, 168, 50}));

    // A thumb taller than its track: the area reaches over it.
    std::string tall = kestrel::LAYOUT_B;
    tall.replace(tall.rfind('|') + 1, std::string::npos, "0, 0, 5, 20");
    EXPECT_EQ(build_layout(tall, "H", CLIENT).rects[22], (layout_rect{116, 26, 170, 48}));
    EXPECT_FALSE(kestrel::slider_is_horizontal(" H"));
    EXPECT_FALSE(kestrel::slider_is_horizontal(""));
}

TEST(ControlLayout, CacheRebuildsOnlyWhenStaleOrChanged) {
    std::string percent = kestrel::LAYOUT_B;
    percent.replace(0, percent.find('|'), "0, 0, 50%, 10%");
    kestrel::layout_cache cache;
    EXPECT_TRUE(cache.stale());
    EXPECT_TRUE(cache.refresh(CLIENT, percent, "H"));  // the first build
    EXPECT_EQ(cache.layout().rects[0], (layout_rect{0, 0, 137, 19}));
    EXPECT_FALSE(cache.refresh(CLIENT, percent, "H"));

    EXPECT_FALSE(cache.refresh({0, 0, 550, 380}, percent, "H"));
    EXPECT_EQ(cache.layout().rects[0], (layout_rect{0, 0, 275, 38}));
    cache.layout().rects[0] = {};
    cache.mark_stale();
    EXPECT_FALSE(cache.refresh({0, 0, 550, 380}, percent, "H"));
    EXPECT_EQ(cache.layout().rects[0], (layout_rect{0, 0, 275, 38}));
    EXPECT_FALSE(cache.refresh({0, 0, 550, 380}, percent, "V"));
    EXPECT_FALSE(cache.layout().horizontal);
}

TEST(HitTest, KeysAreHalfOpenAndOnlyTheMainButtonOutsideBrowserMode) {
    control_layout layout;
    layout.rects[0] = {0, 0, 10, 10};
    layout.rects[1] = {10, 0, 20, 10};  // touches the main button's right edge
    layout.rects[15] = {30, 0, 40, 10};
    const struct {
        layout_point point;
        int browser, plain;
    } cases[] = {
        {{0, 0}, 0, 0},    {{9, 9}, 0, 0},    {{10, 5}, 1, -1},  {{19, 9}, 1, -1},
        {{20, 5}, -1, -1}, {{5, 10}, -1, -1}, {{-1, 5}, -1, -1}, {{30, 0}, 15, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kestrel::key_at(layout, c.point, true), c.browser)
            << c.point.x << "," << c.point.y;
        EXPECT_EQ(kestrel::key_at(layout, c.point, false), c.plain)
            << c.point.x << "," << c.point.y;
    }
}

TEST(HitTest, TracksIncludeTheirEdgesSpeakerFirstAndOneSliderPerDrag) {
    control_layout layout;
    layout.rects[20] = {0, 20, 50, 32};   // speaker
    layout.rects[19] = {40, 20, 90, 32};  // microphone, overlapping it
    using enum slider_kind;
    const struct {
        layout_point point;
        slider_kind dragging, hit;
    } cases[] = {
        // clang-format off
        {{0, 20}, none, speaker}, {{50, 32}, none, speaker}, {{45, 25}, none, speaker},
        {{45, 25}, microphone, microphone}, {{10, 25}, microphone, none},
        {{90, 32}, none, microphone}, {{91, 32}, none, none}, {{20, 33}, none, none},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(kestrel::slider_at(layout, c.point, c.dragging), c.hit)
            << c.point.x << "," << c.point.y;

    // A track of no length is never hit, not even on its edge.
    layout.rects[20] = {5, 5, 5, 17};
    EXPECT_EQ(kestrel::slider_at(layout, {5, 10}), slider_kind::none);
    EXPECT_FALSE(kestrel::slider_position_at(layout, slider_kind::speaker, {5, 10}));
}

TEST(HitTest, LevelAndThumbFromAPointOnTheTrack) {
    // Layout B's speaker track: 119, 31, 48 wide, 12 high.
    const auto horizontal = kestrel::build_layout(kestrel::LAYOUT_B, "H", CLIENT);
    const auto vertical = kestrel::build_layout(kestrel::LAYOUT_B, "V", CLIENT);
    const struct {
        const control_layout* layout;
        layout_point point;
        double level;
        layout_point thumb;
    } cases[] = {
        {&horizontal, {119, 40}, 0.0, {119, 37}}, {&horizontal, {131, 31}, 0.25, {131, 37}},
        {&horizontal, {167, 43}, 1.0, {167, 37}}, {&vertical, {150, 31}, 1.0, {143, 31}},
        {&vertical, {120, 34}, 0.75, {143, 34}},  {&vertical, {119, 43}, 0.0, {143, 43}},
    };
    for (const auto& c : cases) {
        const auto position = kestrel::slider_position_at(*c.layout, slider_kind::speaker, c.point);
        ASSERT_TRUE(position) << c.point.x << "," << c.point.y;
        EXPECT_DOUBLE_EQ(position->level, c.level) << c.point.x << "," << c.point.y;
        EXPECT_EQ(position->thumb, c.thumb) << c.point.x << "," << c.point.y;
        // Placing the thumb from that level puts it back under the point.
        EXPECT_EQ(kestrel::thumb_centre(c.layout->rects[20], c.layout->horizontal, c.level),
                  c.thumb);
    }
    EXPECT_FALSE(kestrel::slider_position_at(horizontal, slider_kind::speaker, {168, 37}));
    EXPECT_FALSE(kestrel::slider_position_at(horizontal, slider_kind::none, {131, 37}));
}

}  // namespace
}  // namespace voxline::test
