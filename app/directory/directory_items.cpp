#include "directory_items.h"

#include <strings.h>

#include "directory_protocol.h"
#include "fields.h"

namespace dialdeck {

std::vector<std::string> split_item_fields(std::string_view item) {
    return split_fields(item, ':');
}

std::optional<std::vector<std::string>> parse_lookup_item(std::string_view item) {
    std::vector<std::string> fields = split_item_fields(item);
    if (fields.size() < LOOKUP_FIELDS) return std::nullopt;
    fields.resize(LOOKUP_FIELDS);
    return fields;
}

std::optional<server_contact> parse_server_contact(std::string_view item) {
    const std::vector<std::string> f = split_item_fields(item);
    if (f.size() < 8) return std::nullopt;
    server_contact c;
    c.name = f[0] + " " + f[1];
    c.number = f[2];
    c.status = f[3];
    c.level = parse_directory_number(f[5]);
    c.marked = strcasecmp(f[3].c_str(), "0") != 0 || c.level > 1;
    return c;
}

std::vector<server_contact> parse_server_contacts(const std::vector<std::string>& items) {
    std::vector<server_contact> contacts;
    for (const std::string& item : items) {
        if (contacts.size() == MAX_SERVER_CONTACTS) break;
        if (auto c = parse_server_contact(item)) contacts.push_back(std::move(*c));
    }
    return contacts;
}

std::optional<search_row> parse_search_row(std::string_view item) {
    const std::vector<std::string> f = split_item_fields(item);
    if (f.size() <= 6) return std::nullopt;
    return search_row{f[0] + " " + f[1], f[2]};
}

}  // namespace dialdeck
