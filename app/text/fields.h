// Separated fields, as the settings, the directory's answers and its items
// all write them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

// The pieces between separators: "" is one empty field, "a," is "a" and "".
inline std::vector<std::string_view> split_views(std::string_view text, char separator = ',') {
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t end = text.find(separator);
        fields.push_back(text.substr(0, end));
        if (end == std::string_view::npos) return fields;
        text.remove_prefix(end + 1);
    }
}

// The same as owned texts; a missing field reads "".
inline std::vector<std::string> split_fields(std::string_view text, char separator = ',') {
    const std::vector<std::string_view> views = split_views(text, separator);
    return {views.begin(), views.end()};
}

}  // namespace dialdeck
