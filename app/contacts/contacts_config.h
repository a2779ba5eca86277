// What the contacts windows take from the settings: the background colour,
// the directory flag and the logged-in account record.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dialdeck {

// "r,g,b": exactly three fields, read as decimal numbers clamped to 0-255.
std::optional<std::array<int, 3>> contacts_colour(std::string_view text);

// Field 0 of the LDAP setting is "1".
bool directory_enabled(std::string_view ldap);

// The n-th comma-separated field of a record; "" past its end.
std::string record_field(std::string_view record, size_t n);

// The account record's fields the directory requests use.
struct contacts_account {
    std::string number;   // field 2
    std::string key;      // field 7
    std::string group;    // field 8
    std::string address;  // field 11
    uint16_t port = 0;    // field 12; 0 when it is no port number

    static contacts_account from_record(std::string_view record);
};

}  // namespace dialdeck
