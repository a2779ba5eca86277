// Where a mouse point lands on the phone: a key, a slider track, and the
// level and thumb position a point on a track stands for. Plain C++ over the
// layout, so the mouse rules can be checked without a window.
#pragma once

#include <optional>

#include "render/layout.h"

namespace kestrel {

// A key rectangle holds its left and top edges but not its right and bottom
// ones, so two neighbouring keys never both take a point.
bool key_contains(const layout_rect& key, layout_point point);

// The first key under the point: indexes 0..15 in browser mode, else only the
// main button; -1 for none.
int key_at(const control_layout& layout, layout_point point, bool browser_mode);

// A track holds all four edges; an empty track (zero length included) holds
// nothing, since its fraction would be 0/0.
bool track_contains(const layout_rect& track, layout_point point);

enum class slider_kind { none, speaker, microphone };

// Where a point on a track puts the slider.
struct slider_position {
    double level = 0;  // 0..1; full level at the right, or at the top
    layout_point thumb;
};

// The slider under the point, speaker first; during a drag only the slider
// being dragged can be hit.
slider_kind slider_at(const control_layout& layout, layout_point point,
                      slider_kind dragging = slider_kind::none);

const layout_rect& track_of(const control_layout& layout, slider_kind slider);

// The level and thumb centre for a point on the slider's track; nothing when
// the point is off the track.
std::optional<slider_position> slider_position_at(const control_layout& layout, slider_kind slider,
                                                  layout_point point);

}  // namespace kestrel
