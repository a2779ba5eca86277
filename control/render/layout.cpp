#include "render/layout.h"

#include <algorithm>
#include <cmath>

#include "parameters/parameter_defaults.h"
#include "parameters/text_lists.h"

namespace kestrel {

namespace {

int clamp_coordinate(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, -LAYOUT_LIMIT, LAYOUT_LIMIT));
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The leading run of digits and points read as a decimal number ("1.2.3"
// reads 1.2); a run too long for a coordinate is cut at the bound.
double leading_number(std::string_view run) {
    double value = 0;
    size_t i = 0;
    for (; i < run.size() && run[i] != '.'; ++i) {
        value = value * 10 + (run[i] - '0');
        if (value > LAYOUT_LIMIT) return LAYOUT_LIMIT;
    }
    double scale = 0.1;
    for (++i; i < run.size() && run[i] != '.'; ++i, scale /= 10) value += (run[i] - '0') * scale;
    return value;
}

struct field {
    double number = 0;
    bool relative = false;
};

field read_field(std::string_view text) {
    field out;
    std::string kept;
    for (char c : text) {
        if (c == '*' || c == '%')
            out.relative = true;
        else if (c != ' ')
            kept += c;
    }
    const size_t run = kept.find_first_not_of("0123456789.");
    out.number = leading_number(std::string_view(kept).substr(0, run));
    return out;
}

int field_pixels(const field& f, int size) {
    if (!f.relative) return static_cast<int>(f.number);
    const int64_t product = static_cast<int64_t>(f.number * std::clamp(size, 0, 2 * LAYOUT_LIMIT));
    return clamp_coordinate(product / 100);
}

}  // namespace

uint32_t ConvertTextToRGB(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return 0;
    uint32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        const int digit = hex_digit(text[i]);
        if (digit < 0) return 0;
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    // RRGGBB read, red stored lowest.
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

layout_rect ParseLocationParameter(std::string_view text, const layout_rect& client) {
    const auto parts = split(text, ',');
    if (parts.size() != 4) return {};
    field fields[4];
    for (size_t i = 0; i < 4; ++i) fields[i] = read_field(parts[i]);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int x = field_pixels(fields[0], width);
    const int y = field_pixels(fields[1], height);
    const int w = field_pixels(fields[2], width);
    const int h = field_pixels(fields[3], height);
    layout_rect r;
    r.left = clamp_coordinate(int64_t{client.left} + x);
    r.top = clamp_coordinate(int64_t{client.top} + y);
    r.right = clamp_coordinate(int64_t{r.left} + w);
    r.bottom = clamp_coordinate(int64_t{r.top} + h);
    return r;
}

bool slider_is_horizontal(std::string_view orientation) {
    return !orientation.empty() && (orientation[0] == 'H' || orientation[0] == 'h');
}

layout_point thumb_centre(const layout_rect& track, bool horizontal, double level) {
    if (!(level >= 0)) level = 0;  // also NaN
    level = std::min(level, 1.0);
    if (horizontal)
        return {static_cast<int>(track.left + track.width() * level + 0.5),
                (track.top + track.bottom) / 2};
    return {(track.left + track.right) / 2,
            static_cast<int>(track.top + track.height() * (1 - level) + 0.5)};
}

layout_rect thumb_rect(layout_point centre, const layout_rect& thumb_size) {
    const int w = thumb_size.width(), h = thumb_size.height();
    layout_rect r;
    r.left = centre.x - w / 2;
    r.top = centre.y - h / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
    return r;
}

namespace {

// The track widened along the slider by half the thumb plus 1 and across it
// by 1, or by as much as a thumb wider than the track reaches over it.
layout_rect repaint_area(const layout_rect& track, const layout_rect& thumb, bool horizontal) {
    const int along = (horizontal ? thumb.width() : thumb.height()) / 2 + 1;
    const int over = (horizontal ? thumb.height() - track.height() : thumb.width() - track.width());
    const int across = std::max(1, (over + 1) / 2 + 1);
    layout_rect r = track;
    if (horizontal) {
        r.left -= along, r.right += along, r.top -= across, r.bottom += across;
    } else {
        r.top -= along, r.bottom += along, r.left -= across, r.right += across;
    }
    return r;
}

}  // namespace

control_layout build_layout(std::string_view layout_text, std::string_view orientation,
                            const layout_rect& client) {
    std::vector<std::string> entries;
    ConvertListToArray(entries, layout_text, LAYOUT_A);
    control_layout out;
    for (int i = 0; i < LAYOUT_ENTRIES && i < static_cast<int>(entries.size()); ++i)
        out.rects[i] = ParseLocationParameter(entries[i], client);
    out.horizontal = slider_is_horizontal(orientation);
    const layout_rect& thumb = out.rects[RECT_THUMB];
    out.rects[RECT_SPEAKER_AREA] =
        repaint_area(out.rects[RECT_SPEAKER_TRACK], thumb, out.horizontal);
    out.rects[RECT_MIC_AREA] = repaint_area(out.rects[RECT_MIC_TRACK], thumb, out.horizontal);
    out.speaker_thumb = thumb_centre(out.rects[RECT_SPEAKER_TRACK], out.horizontal, 0);
    out.mic_thumb = thumb_centre(out.rects[RECT_MIC_TRACK], out.horizontal, 0);
    return out;
}

bool layout_cache::refresh(const layout_rect& bounds, std::string_view layout_text,
                           std::string_view orientation) {
    if (!m_stale && bounds == m_bounds && layout_text == m_layout_text &&
        orientation == m_orientation)
        return false;
    m_layout = build_layout(layout_text, orientation, bounds);
    m_bounds = bounds;
    m_layout_text = layout_text;
    m_orientation = orientation;
    m_stale = false;
    ++m_builds;
    const bool first = !m_built;
    m_built = true;
    return first;
}

}  // namespace kestrel
