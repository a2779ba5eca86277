// The text GetStatistics hands the client: the current call's statistics.
#pragma once

#include <cstddef>

namespace voxline {

// Writes at most size - 1 characters and a terminator; false when the text
// could not be produced (out then holds an empty string).
bool format_statistics_text(char* out, size_t size);

}  // namespace voxline
