#include "parameters/property_bag.h"

namespace kestrel {

namespace {

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

std::string escape_bag_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

property_bag parse_property_bag(std::string_view text) {
    property_bag bag;
    size_t line_number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;

        const size_t equals = line.find('=');
        std::string name, value;
        const char* problem = nullptr;
        if (equals == std::string_view::npos)
            problem = "no '='";
        else if (!unescape(line.substr(0, equals), name) ||
                 !unescape(line.substr(equals + 1), value))
            problem = "bad escape";
        else if (name.empty())
            problem = "empty name";
        if (problem) {
            bag.errors.push_back("line " + std::to_string(line_number) + ": " + problem);
            continue;
        }
        bag.entries.emplace_back(std::move(name), std::move(value));
    }
    return bag;
}

std::string format_property_bag(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out;
    for (const auto& [name, value] : entries) {
        out += escape_bag_text(name);
        out += '=';
        out += escape_bag_text(value);
        out += '\n';
    }
    return out;
}

}  // namespace kestrel
