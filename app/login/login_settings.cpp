#include "login_settings.h"

namespace dialdeck {

namespace {

bool field_is_one(const std::vector<std::string>& fields, size_t n) {
    return n < fields.size() && fields[n] == "1";
}

std::optional<std::uint16_t> parse_port(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

login_options parse_login_options(std::string_view text) {
    const auto fields = split_fields(text);
    return {field_is_one(fields, 0), field_is_one(fields, 1), field_is_one(fields, 2),
            field_is_one(fields, 3)};
}

directory_login parse_directory_login(std::string_view text) {
    const auto fields = split_fields(text);
    directory_login out;
    out.enabled = field_is_one(fields, 0);
    if (fields.size() > 1) out.address = fields[1];
    if (fields.size() > 2) out.port = parse_port(fields[2]);
    return out;
}

}  // namespace dialdeck
