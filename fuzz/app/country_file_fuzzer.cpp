// Any countries.txt: rows are well formed and the search stays inside them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "country_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto rows = dialdeck::parse_countries(text);
    for (const auto& row : rows) {
        if (row.name.empty() || row.code.empty() || row.code.size() > 8) __builtin_trap();
    }
    const auto found = dialdeck::find_country(rows, text.substr(0, text.find('\n')));
    if (found && *found >= rows.size()) __builtin_trap();
    return 0;
}
