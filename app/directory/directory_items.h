// The ":"-separated items of directory answers, read only after their fields
// are counted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

inline constexpr size_t LOOKUP_FIELDS = 9;
inline constexpr size_t MAX_SERVER_CONTACTS = 500;

std::vector<std::string> split_item_fields(std::string_view item);

// An account look-up answer: needs more than eight fields; the first nine
// are kept, so later record positions never shift.
std::optional<std::vector<std::string>> parse_lookup_item(std::string_view item);

struct server_contact {
    std::string name;  // first + " " + last
    std::string number;
    std::string status;
    int level = 0;
    bool marked = false;  // status other than "0", or level above 1
};

// Eight fields or more; anything shorter is dropped.
std::optional<server_contact> parse_server_contact(std::string_view item);
// At most 500 entries; short items are skipped.
std::vector<server_contact> parse_server_contacts(const std::vector<std::string>& items);

struct search_row {
    std::string name;
    std::string number;
};

// More than six fields.
std::optional<search_row> parse_search_row(std::string_view item);

}  // namespace dialdeck
