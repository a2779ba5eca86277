#include "settings_file.h"

#include "atomic_file.h"
#include "ini_text.h"

namespace dialdeck {

namespace {

ini_text load(const std::string& path) {
    return ini_text(read_whole_file(path).value_or(""));
}

}  // namespace

std::string settings_file::read_value(std::string_view section, std::string_view key) const {
    return load(m_path).read_value(section, key);
}

bool settings_file::write_value(std::string_view section, std::string_view key,
                                std::string_view value) const {
    return rewrite_file(m_path, [&](const std::optional<std::string>& current) {
        return ini_text(current.value_or("")).with_value(section, key, value);
    });
}

bool settings_file::has_section(std::string_view section) const {
    return load(m_path).has_section(section);
}

std::vector<std::string> settings_file::section_names() const {
    return load(m_path).section_names();
}

std::vector<std::string> settings_file::section_lines(std::string_view section) const {
    return load(m_path).section_lines(section);
}

}  // namespace dialdeck
