#include "country_table.h"

#include <algorithm>

#include "atomic_file.h"
#include "ini_text.h"

namespace dialdeck {

namespace {

constexpr size_t k_code_digits_limit = 8;

bool is_code(std::string_view code) {
    return !code.empty() && code.size() <= k_code_digits_limit &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_name(std::string_view name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

}  // namespace

std::vector<country> parse_countries(std::string_view text) {
    std::vector<country> rows;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t semicolon = line.find(';');
        if (semicolon == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, semicolon);
        const std::string_view code = line.substr(semicolon + 1);
        if (is_name(name) && is_code(code)) rows.push_back({std::string(name), std::string(code)});
    }
    return rows;
}

const std::vector<country>& builtin_countries() {
    static const std::vector<country> rows = parse_countries(builtin_countries_text());
    return rows;
}

std::vector<country> load_countries(const std::string& folder) {
    if (const auto bytes = read_whole_file(folder + "countries.txt")) {
        auto rows = parse_countries(*bytes);
        if (!rows.empty()) return rows;
    }
    return builtin_countries();
}

std::optional<size_t> find_country(const std::vector<country>& rows, std::string_view typed) {
    if (typed.empty()) return std::nullopt;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string_view name = rows[i].name;
        if (name.size() >= typed.size() &&
            equal_ignoring_ascii_case(name.substr(0, typed.size()), typed)) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace dialdeck
