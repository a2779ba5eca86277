#include "render/hit_test.h"

namespace kestrel {

namespace {

constexpr int k_browser_keys = 16;

}  // namespace

bool key_contains(const layout_rect& key, layout_point point) {
    return point.x >= key.left && point.x < key.right && point.y >= key.top && point.y < key.bottom;
}

int key_at(const control_layout& layout, layout_point point, bool browser_mode) {
    const int keys = browser_mode ? k_browser_keys : 1;
    for (int index = 0; index < keys; ++index)
        if (key_contains(layout.rects[index], point)) return index;
    return -1;
}

bool track_contains(const layout_rect& track, layout_point point) {
    return !track.empty() && point.x >= track.left && point.x <= track.right &&
           point.y >= track.top && point.y <= track.bottom;
}

const layout_rect& track_of(const control_layout& layout, slider_kind slider) {
    return layout.rects[slider == slider_kind::speaker ? RECT_SPEAKER_TRACK : RECT_MIC_TRACK];
}

slider_kind slider_at(const control_layout& layout, layout_point point, slider_kind dragging) {
    for (const slider_kind slider : {slider_kind::speaker, slider_kind::microphone}) {
        if (dragging != slider_kind::none && dragging != slider) continue;
        if (track_contains(track_of(layout, slider), point)) return slider;
    }
    return slider_kind::none;
}

std::optional<slider_position> slider_position_at(const control_layout& layout, slider_kind slider,
                                                  layout_point point) {
    if (slider == slider_kind::none) return std::nullopt;
    const layout_rect& track = track_of(layout, slider);
    if (!track_contains(track, point)) return std::nullopt;
    const double fraction = layout.horizontal
                                ? static_cast<double>(point.x - track.left) / track.width()
                                : static_cast<double>(point.y - track.top) / track.height();
    // The top of a vertical slider is full level.
    const double level = layout.horizontal ? fraction : 1 - fraction;
    return slider_position{level, thumb_centre(track, layout.horizontal, level)};
}

}  // namespace kestrel
