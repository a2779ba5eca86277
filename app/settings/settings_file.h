// The settings file's access operations. Every call reads the file afresh, as
// other instances of the program may have written it. Keys and values are
// passed already scrambled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

class settings_file {
  public:
    explicit settings_file(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }

    std::string read_value(std::string_view section, std::string_view key) const;
    // False when the value is refused or the file cannot be rewritten.
    bool write_value(std::string_view section, std::string_view key, std::string_view value) const;
    bool has_section(std::string_view section) const;
    std::vector<std::string> section_names() const;
    std::vector<std::string> section_lines(std::string_view section) const;

  private:
    std::string m_path;
};

}  // namespace dialdeck
