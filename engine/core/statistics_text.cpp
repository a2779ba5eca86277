#include "core/statistics_text.h"

namespace voxline {

bool format_statistics_text(char* out, size_t size) {
    if (size > 0) out[0] = '\0';
    return true;
}

}  // namespace voxline
