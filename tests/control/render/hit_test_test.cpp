#include "render/hit_test.h"

#include <gtest/gtest.h>

#include "parameters/parameter_defaults.h"

namespace voxline::test {
namespace {

using kestrel::control_layout;
using kestrel::layout_point;
using kestrel::layout_rect;
using kestrel::slider_kind;

const layout_rect CLIENT{0, 0, 275, 190};

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
    const struct {
        layout_point point;
        slider_kind dragging, hit;
    } cases[] = {
        {{0, 20}, slider_kind::none, slider_kind::speaker},
        {{50, 32}, slider_kind::none, slider_kind::speaker},
        {{45, 25}, slider_kind::none, slider_kind::speaker},
        {{45, 25}, slider_kind::microphone, slider_kind::microphone},
        {{10, 25}, slider_kind::microphone, slider_kind::none},
        {{90, 32}, slider_kind::none, slider_kind::microphone},
        {{91, 32}, slider_kind::none, slider_kind::none},
        {{20, 33}, slider_kind::none, slider_kind::none},
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
