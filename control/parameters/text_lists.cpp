#include "parameters/text_lists.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string join(const std::vector<std::string>& parts, char separator) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

std::string trim(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

size_t ConvertListToArray(std::vector<std::string>& array, std::string_view text,
                          const char* default_text) {
    array = split(text, '|');
    if (default_text && *default_text) {
        const size_t expected = static_cast<size_t>(std::count(
                                    default_text, default_text + strlen(default_text), '|')) +
                                1;
        if (array.size() != expected) array = split(default_text, '|');
    }
    size_t longest = 0;
    for (const auto& entry : array) longest = std::max(longest, entry.size());
    return longest;
}

std::string fill_message(std::string_view entry, std::string_view argument) {
    std::string out;
    out.reserve(entry.size() + argument.size());
    for (size_t i = 0; i < entry.size(); ++i) {
        if (entry[i] == '%' && i + 1 < entry.size() && entry[i + 1] == '1') {
            out += argument;
            ++i;
        } else {
            out += entry[i];
        }
    }
    return out;
}

std::string dialable_digits(std::string_view text) {
    std::string out;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == '*' || c == '#') out += c;
    return out;
}

}  // namespace kestrel
