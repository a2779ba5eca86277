#include "contacts_book.h"

#include <sys/stat.h>

#include <optional>

#include "atomic_file.h"

namespace dialdeck {

std::variant<std::vector<contact_record>, contacts_parse_error, contacts_unreadable>
contacts_book::load() const {
    const std::optional<std::string> text = read_whole_file(m_path);
    if (!text) {
        struct stat info {};
        if (::stat(m_path.c_str(), &info) != 0 && errno == ENOENT)
            return std::vector<contact_record>{};
        return contacts_unreadable{};
    }
    auto read = read_contacts(*text);
    if (auto* error = std::get_if<contacts_parse_error>(&read)) return std::move(*error);
    return std::get<std::vector<contact_record>>(std::move(read));
}

template <typename change>
contacts_save contacts_book::apply(const change& make) {
    contacts_save outcome = contacts_save::failed;
    const bool written = rewrite_file(
        m_path, [&](const std::optional<std::string>& text) -> std::optional<std::string> {
            contacts_change changed = make(text);
            if (const auto* error = std::get_if<contacts_change_error>(&changed)) {
                outcome = *error == contacts_change_error::damaged ? contacts_save::damaged
                                                                   : contacts_save::not_found;
                return std::nullopt;
            }
            return std::get<std::string>(std::move(changed));
        });
    return written ? contacts_save::saved
                   : (outcome == contacts_save::failed ? contacts_save::failed : outcome);
}

contacts_save contacts_book::add(const contact_record& record) {
    return apply(
        [&](const std::optional<std::string>& text) { return append_contact(text, record); });
}

contacts_save contacts_book::remove(size_t index, const contact_record& expected) {
    return apply([&](const std::optional<std::string>& text) -> contacts_change {
        if (!text) return contacts_change_error::not_found;
        return remove_contact(*text, index, expected);
    });
}

contacts_save contacts_book::replace(size_t index, const contact_record& expected,
                                     const contact_record& replacement) {
    return apply([&](const std::optional<std::string>& text) -> contacts_change {
        if (!text) return contacts_change_error::not_found;
        return replace_contact(*text, index, expected, replacement);
    });
}

}  // namespace dialdeck
