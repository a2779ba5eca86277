// "|"- and ","-separated texts of the parameters: message lists, call-manager
// lists, dialable digits. Plain C++ (no Qt).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

std::vector<std::string> split(std::string_view text, char separator);
std::string join(const std::vector<std::string>& parts, char separator);
std::string trim(std::string_view text);
std::string lower(std::string_view text);
bool equals_ignoring_case(std::string_view a, std::string_view b);

// Splits text at "|" into array; when the count differs from that of a given
// default list, the default list is used instead. Returns the longest entry's length.
size_t ConvertListToArray(std::vector<std::string>& array, std::string_view text,
                          const char* default_text = nullptr);

// Replaces every "%1" with argument; other "%" sequences stay as written.
std::string fill_message(std::string_view entry, std::string_view argument);

// Keeps 0-9, "*" and "#" in order.
std::string dialable_digits(std::string_view text);

}  // namespace kestrel
