// The control's saved properties as text: one "Name=Value" line per property,
// with "\" escaping backslash, line feed and carriage return. Plain C++ (no
// Qt) so the fuzz build can compile it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel {

struct property_bag {
    std::vector<std::pair<std::string, std::string>> entries;  // in file order
    std::vector<std::string> errors;  // one per dropped line, naming its number
};

// Lines without "=", with an empty name or a bad escape are dropped and
// reported; blank lines are skipped. A CR before the LF is ignored.
property_bag parse_property_bag(std::string_view text);

std::string format_property_bag(const std::vector<std::pair<std::string, std::string>>& entries);

std::string escape_bag_text(std::string_view text);

}  // namespace kestrel
