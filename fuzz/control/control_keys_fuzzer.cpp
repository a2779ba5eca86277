// Key numbers reach the control from ExecuteCommand's parameters and typed
// text from DialNumber. Input: pairs of (key byte, flags byte); every index
// must be a phone key, and redial browsing must stay within its entries. The
// same pairs, read as mouse points, drive the hit tests: a key hit holds the
// point, and a level and thumb stay on the track, dragging or not.
#include <cstdint>
#include <cstdlib>

#include "keys/key_mapping.h"
#include "keys/redial_list.h"
#include "keys/virtual_keys.h"
#include "parameters/parameter_defaults.h"
#include "render/hit_test.h"

namespace {

using kestrel::control_layout;
using kestrel::slider_kind;

const control_layout& layout_of(int which) {
    const kestrel::layout_rect client{0, 0, 275, 190};
    static const control_layout layouts[] = {
        kestrel::build_layout(kestrel::LAYOUT_B, "H", client),
        kestrel::build_layout(kestrel::LAYOUT_A, "V", client),
        [&] {
            // Tracks of no length, and one of no height.
            control_layout flat = kestrel::build_layout(kestrel::LAYOUT_B, "H", client);
            flat.rects[kestrel::RECT_SPEAKER_TRACK] = {119, 31, 119, 43};
            flat.rects[kestrel::RECT_MIC_TRACK] = {37, 31, 85, 31};
            return flat;
        }(),
    };
    return layouts[which % 3];
}

void hit(const control_layout& layout, bool browser_mode, kestrel::layout_point point,
         slider_kind dragging) {
    const int key = kestrel::key_at(layout, point, browser_mode);
    if (key < -1 || key >= (browser_mode ? 16 : 1)) abort();
    if (key >= 0 && !kestrel::key_contains(layout.rects[key], point)) abort();
    const slider_kind slider = kestrel::slider_at(layout, point, dragging);
    if (dragging != slider_kind::none && slider != slider_kind::none && slider != dragging) abort();
    const slider_kind moved = dragging != slider_kind::none ? dragging : slider;
    if (moved == slider_kind::none) return;
    const auto position = kestrel::slider_position_at(layout, moved, point);
    if (!position) return;
    const auto& track = kestrel::track_of(layout, moved);
    if (!(position->level >= 0 && position->level <= 1)) abort();
    if (position->thumb.x < track.left || position->thumb.x > track.right ||
        position->thumb.y < track.top || position->thumb.y > track.bottom)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrel::redial_list redial;
    const control_layout& layout = layout_of(size > 0 ? data[0] : 0);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const int32_t key = data[i] | ((data[i + 1] & 3) << 8);
        const int index = kestrel::key_index_of_key(key & 0xFF, key & kestrel::KEY_SHIFT_STATE);
        if (index < -1 || index >= kestrel::KEY_COUNT) abort();
        const int typed = kestrel::key_index_of_char(static_cast<char>(data[i]));
        if (typed < -1 || typed >= kestrel::KEY_COUNT) abort();
        if (typed >= 0 && kestrel::char_of_key_index(typed) == 0) abort();
        if (kestrel::key_scan_of_char(static_cast<char>(data[i])) > 0x1FF) abort();
        // x over -32..287 and y over -16..239 reach past every edge of the window.
        hit(layout, data[0] & 0x80, {data[i] * 5 / 4 - 32, (data[i + 1] >> 2) * 4 - 16},
            static_cast<slider_kind>(data[i + 1] % 3));
        switch (data[i + 1] >> 6) {
            case 0:
                redial.record(std::string(1, static_cast<char>(data[i])));
                break;
            case 1:
                redial.back();
                break;
            case 2:
                redial.forward();
                break;
            default:
                if (redial.last_ten().size() > 20) abort();
        }
    }
    return 0;
}
