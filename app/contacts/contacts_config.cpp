#include "contacts_config.h"

#include <algorithm>
#include <vector>

#include "directory_protocol.h"
#include "fields.h"

namespace dialdeck {

namespace {

bool is_number(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    text.remove_prefix(first);
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    return !text.empty() && text[0] >= '0' && text[0] <= '9';
}

}  // namespace

std::optional<std::array<int, 3>> contacts_colour(std::string_view text) {
    const std::vector<std::string_view> fields = split_views(text);
    if (fields.size() != 3) return std::nullopt;
    std::array<int, 3> rgb{};
    for (size_t i = 0; i < 3; ++i) {
        rgb[i] = std::clamp(parse_directory_number(fields[i]), 0, 255);
    }
    return rgb;
}

bool directory_enabled(std::string_view ldap) {
    return split_views(ldap).front() == "1";
}

std::string record_field(std::string_view record, size_t n) {
    const std::vector<std::string_view> fields = split_views(record);
    return n < fields.size() ? std::string(fields[n]) : std::string();
}

contacts_account contacts_account::from_record(std::string_view record) {
    contacts_account account;
    account.number = record_field(record, 2);
    account.key = record_field(record, 7);
    account.group = record_field(record, 8);
    account.address = record_field(record, 11);
    const std::string port = record_field(record, 12);
    const int value = parse_directory_number(port);
    if (is_number(port) && value > 0 && value <= 65535) account.port = static_cast<uint16_t>(value);
    return account;
}

}  // namespace dialdeck
