#include "core/statistics_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/vxl_statistics.h"

namespace voxline {

bool format_statistics_text(char* out, size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    uint32_t needed = 0;
    get_statistics_string(nullptr, &needed);  // a size query
    if (needed == 0) return false;
    // Twice the asked size leaves room should the text ever outgrow the query.
    std::vector<char> text(static_cast<size_t>(needed) * 2, '\0');
    uint32_t capacity = static_cast<uint32_t>(text.size());
    if (!get_statistics_string(text.data(), &capacity)) return false;
    const size_t length = strnlen(text.data(), std::min(text.size(), size - 1));
    memcpy(out, text.data(), length);
    out[length] = '\0';
    return true;
}

}  // namespace voxline
