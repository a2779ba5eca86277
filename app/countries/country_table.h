// The country dialling codes: "Name;Code" lines, from the application folder's
// countries.txt or, when that is missing, the copy built into the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

struct country {
    std::string name;
    std::string code;  // decimal digits
};

// Rows in file order. Lines that are not a name, ";" and 1 to 8 digits are
// skipped; LF or CR LF line ends.
std::vector<country> parse_countries(std::string_view text);

// The table shipped with the program.
const std::vector<country>& builtin_countries();
std::string_view builtin_countries_text();

// folder + "countries.txt", or the built-in table when that file is missing,
// unreadable or holds no valid row.
std::vector<country> load_countries(const std::string& folder);

// The first row whose name begins with the typed text, ignoring ASCII case;
// nothing for an empty text or no match.
std::optional<size_t> find_country(const std::vector<country>& rows, std::string_view typed);

}  // namespace dialdeck
