// The Layout, message-list and colour parameters come from the page or the
// settings file. Input: one parameter text, preceded by two bytes choosing
// the client size.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "parameters/parameter_defaults.h"
#include "parameters/text_lists.h"
#include "render/layout.h"

namespace {

bool within_bound(const kestrel::layout_rect& r) {
    for (const int v : {r.left, r.top, r.right, r.bottom})
        if (v < -kestrel::LAYOUT_LIMIT || v > kestrel::LAYOUT_LIMIT) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const kestrel::layout_rect client{-data[0], -data[1], data[0] * 200, data[1] * 200};
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    if (!within_bound(kestrel::ParseLocationParameter(text, client))) abort();
    const auto layout = kestrel::build_layout(text, text, client);
    for (const auto& r : layout.rects)
        if (r.left > r.right + 2 * kestrel::LAYOUT_LIMIT ||
            r.top > r.bottom + 2 * kestrel::LAYOUT_LIMIT)
            abort();

    std::vector<std::string> entries;
    const size_t longest =
        kestrel::ConvertListToArray(entries, text, kestrel::DEFAULT_STATUS_MESSAGES);
    if (entries.size() != 10) abort();
    for (const auto& entry : entries)
        if (entry.size() > longest) abort();
    kestrel::ConvertListToArray(entries, text);
    if (entries.empty()) abort();

    if (kestrel::ConvertTextToRGB(text) > 0xFFFFFF) abort();
    return 0;
}
