// Layout parameters, and what a point on the phone hits.
#include "render/layout.h"

#include <gtest/gtest.h>

#include "parameters/parameter_defaults.h"
#include "render/hit_test.h"

namespace voxline::test {
namespace {

using namespace kestrel;

const layout_rect CLIENT{0, 0, 275, 190};

TEST(ControlLayout, ColoursAreHashAndSixHexDigitsWithRedLowest) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"#00CCCC", 0xCCCC00}, {"#FF0000", 0x0000FF}, {"#0000ff", 0xFF0000},
        {"#123456", 0x563412}, {"00CCCC", 0},         {"#00CCC", 0},
        {"#00CCCCC", 0},       {"#GG0000", 0},        {"", 0},
    };
    for (const auto& [text, rgb] : cases) EXPECT_EQ(ConvertTextToRGB(text), rgb) << text;
}

TEST(ControlLayout, EntriesArePixelsOrPercentagesOfTheClient) {
    const std::tuple<const char*, layout_rect, layout_rect> cases[] = {
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
    for (const auto& [text, client, expected] : cases)
        EXPECT_EQ(ParseLocationParameter(text, client), expected) << text;
}

TEST(ControlLayout, DefaultsTwentyOneEntriesAndSliderOrientation) {
    std::string layout_b = LAYOUT_B;
    EXPECT_EQ(build_layout(layout_b, "H", CLIENT).rects[17], (layout_rect{68, 4, 194, 19}));
    // Twenty-one entries: the default layout.
    const auto twenty_one = build_layout(layout_b.substr(0, layout_b.rfind('|')), "H", CLIENT);
    EXPECT_EQ(twenty_one.rects[17], (layout_rect{150, 24, 261, 35}));
    EXPECT_EQ(twenty_one.rects[15], (layout_rect{}));

    // Slider areas and thumbs follow the orientation.
    const auto horizontal = build_layout(LAYOUT_B, "horizontal", CLIENT);
    // Thumb 5x12: along by 5/2 + 1, across by 1.
    EXPECT_EQ(std::tuple(horizontal.horizontal, horizontal.rects[22], horizontal.rects[23]),
              std::tuple(true, layout_rect{116, 30, 170, 44}, layout_rect{34, 30, 88, 44}));
    EXPECT_EQ(horizontal.speaker_thumb, (layout_point{119, 37}));

    const auto vertical = build_layout(LAYOUT_B, "Vertical", CLIENT);
    EXPECT_EQ(std::pair(vertical.horizontal, vertical.rects[22]),
              std::pair(false, layout_rect{118, 24, 168, 50}));

    // A thumb taller than its track: the area reaches over it.
    std::string tall = LAYOUT_B;
    tall.replace(tall.rfind('|') + 1, std::string::npos, "0, 0, 5, 20");
    EXPECT_EQ(build_layout(tall, "H", CLIENT).rects[22], (layout_rect{116, 26, 170, 48}));
    EXPECT_FALSE(slider_is_horizontal(" H") || slider_is_horizontal(""));
}

TEST(ControlLayout, CacheRebuildsOnlyWhenStaleOrChanged) {
    std::string percent = LAYOUT_B;
    percent.replace(0, percent.find('|'), "0, 0, 50%, 10%");
    layout_cache cache;
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
    const std::tuple<int, int, int, int> cases[] = {
        {0, 0, 0, 0},    {9, 9, 0, 0},    {10, 5, 1, -1},  {19, 9, 1, -1},
        {20, 5, -1, -1}, {5, 10, -1, -1}, {-1, 5, -1, -1}, {30, 0, 15, -1},
    };
    for (const auto& [x, y, browser, plain] : cases) {
        EXPECT_EQ(key_at(layout, {x, y}, true), browser) << x << "," << y;
        EXPECT_EQ(key_at(layout, {x, y}, false), plain) << x << "," << y;
    }
}

TEST(HitTest, TracksIncludeTheirEdgesSpeakerFirstAndOneSliderPerDrag) {
    control_layout layout;
    layout.rects[20] = {0, 20, 50, 32};   // speaker
    layout.rects[19] = {40, 20, 90, 32};  // microphone, overlapping it
    using enum slider_kind;
    // clang-format off
    const std::tuple<int, int, slider_kind, slider_kind> cases[] = {
        {0, 20, none, speaker}, {50, 32, none, speaker}, {45, 25, none, speaker},
        {45, 25, microphone, microphone}, {10, 25, microphone, none},
        {90, 32, none, microphone}, {91, 32, none, none}, {20, 33, none, none}};
    // clang-format on
    for (const auto& [x, y, dragging, hit] : cases)
        EXPECT_EQ(slider_at(layout, {x, y}, dragging), hit) << x << "," << y;

    // A track of no length is never hit, not even on its edge.
    layout.rects[20] = {5, 5, 5, 17};
    EXPECT_EQ(slider_at(layout, {5, 10}), slider_kind::none);
}

}  // namespace
}  // namespace voxline::test
