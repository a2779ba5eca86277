// The control's geometry: the "|"-separated Layout parameter turned into the
// 22 rectangles, the two slider repaint areas and the thumb positions, and
// the colour texts. Plain C++ (no Qt) so the parsers can be fuzzed alone.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

struct layout_rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const layout_rect&) const = default;
};

struct layout_point {
    int x = 0, y = 0;
    bool operator==(const layout_point&) const = default;
};

// Indexes of the rectangles.
enum layout_index : int {
    RECT_MAIN_BUTTON = 0,
    RECT_BACKSPACE = 13,
    RECT_CLEAR = 14,
    RECT_HANGUP_BUTTON = 15,
    RECT_DISPLAY = 16,
    RECT_STATUS = 17,
    RECT_STATUS_LABEL = 18,
    RECT_MIC_TRACK = 19,
    RECT_SPEAKER_TRACK = 20,
    RECT_THUMB = 21,
    RECT_SPEAKER_AREA = 22,
    RECT_MIC_AREA = 23,
    LAYOUT_ENTRIES = 22,
    LAYOUT_RECTS = 24,
};

// Coordinates stay within this bound so sums and products cannot overflow.
inline constexpr int LAYOUT_LIMIT = 32767;

// "#RRGGBB" (exactly seven characters) as red in the low byte; anything else 0.
uint32_t ConvertTextToRGB(std::string_view text);

// One entry "x, y, width, height"; each field pixels, or with "*" or "%" a
// percentage of the client width (x, width) or height (y, height). Anything
// but four fields gives the empty rectangle 0,0,0,0.
layout_rect ParseLocationParameter(std::string_view text, const layout_rect& client);

// "H"/"h" as the first character means horizontal; anything else vertical.
bool slider_is_horizontal(std::string_view orientation);

// The thumb centre for a level 0..1. Horizontal: the level is the fraction
// from the left. Vertical: the top is full level.
layout_point thumb_centre(const layout_rect& track, bool horizontal, double level);

struct control_layout {
    std::array<layout_rect, LAYOUT_RECTS> rects{};
    bool horizontal = true;
    layout_point speaker_thumb;
    layout_point mic_thumb;
};

// Layout text (a list of a count other than 22 entries is replaced by the
// registered default as a whole), the rectangles on the client, the derived
// repaint areas and the thumbs at level 0.
control_layout build_layout(std::string_view layout_text, std::string_view orientation,
                            const layout_rect& client);

// The rectangle a thumb of the given size covers, centred on centre.
layout_rect thumb_rect(layout_point centre, const layout_rect& thumb_size);

// When the layout must be recomputed: at first, when the drawing bounds
// change, after a resize and when its parameters change. The widget owns one.
class layout_cache {
  public:
    void mark_stale() { m_stale = true; }
    bool stale() const { return m_stale; }

    // Rebuilds when stale or when any input differs from the last build.
    // Returns true only for the very first build (the initial set-up follows it).
    bool refresh(const layout_rect& bounds, std::string_view layout_text,
                 std::string_view orientation);

    const control_layout& layout() const { return m_layout; }
    control_layout& layout() { return m_layout; }
    bool built() const { return m_built; }
    // Counts the builds, so callers can tell whether the last refresh made a
    // new layout (its thumbs are back at level 0).
    unsigned builds() const { return m_builds; }

  private:
    control_layout m_layout;
    layout_rect m_bounds;
    std::string m_layout_text;
    std::string m_orientation;
    bool m_stale = true;
    bool m_built = false;
    unsigned m_builds = 0;
};

}  // namespace kestrel
