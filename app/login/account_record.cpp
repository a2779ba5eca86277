#include "account_record.h"

#include <algorithm>

#include "directory_items.h"
#include "login_settings.h"

namespace dialdeck {

bool is_record_safe(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == ',' || c == '|' || byte < 0x20 || byte == 0x7f;
    });
}

std::optional<std::string> build_record(const std::vector<std::string>& lookup_fields,
                                        std::string_view account, std::string_view pin,
                                        std::string_view address, std::string_view port) {
    if (lookup_fields.size() != LOOKUP_FIELDS) return std::nullopt;
    std::string record;
    for (const std::string& field : lookup_fields) {
        if (!is_record_safe(field)) return std::nullopt;
        record += field;
        record += ',';
    }
    for (std::string_view tail : {account, pin, address, port}) {
        if (!is_record_safe(tail)) return std::nullopt;
    }
    record.append(account).append(",").append(pin).append(",");
    record.append(address).append(",").append(port);
    return record;
}

account_record::account_record(std::string_view text) {
    if (!text.empty()) m_fields = split_fields(text);
}

const std::string& account_record::field(size_t position) const {
    static const std::string none;
    return position < m_fields.size() ? m_fields[position] : none;
}

bool account_record::has_directory() const {
    return !field(RECORD_DIRECTORY_ADDRESS).empty() && !field(RECORD_DIRECTORY_PORT).empty();
}

}  // namespace dialdeck
