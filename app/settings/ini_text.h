// Private-profile (INI) text handled as bytes. Nothing is trimmed, unquoted or
// re-encoded: scrambled names and values may hold blanks, quotes and "=" at any
// place, so a value is the exact rest of its line.
//
// Section and key names match ignoring ASCII case; the first section of a name
// and the first matching line in it win. A key matches a line that begins with
// the key plus "=". Lines without "=" are kept and never matched.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

// Values are read into a 2000-byte buffer with its terminator.
inline constexpr size_t k_value_limit = 1999;

class ini_text {
  public:
    explicit ini_text(std::string bytes);

    // The value, cut at k_value_limit bytes; "" when the section or key is absent.
    std::string read_value(std::string_view section, std::string_view key) const;
    // True when the section holds at least one key line.
    bool has_section(std::string_view section) const;
    // Every section name in file order, as written.
    std::vector<std::string> section_names() const;
    // The section's key lines (those holding "="), without their line ends.
    std::vector<std::string> section_lines(std::string_view section) const;

    // The whole text with the key set, or nothing when the write is refused
    // (empty key; a byte below 0x20 anywhere; "]" in the section; a value longer
    // than a read can return). Only the key's line changes: a new key ends its
    // section, a new section ends the text.
    std::optional<std::string> with_value(std::string_view section, std::string_view key,
                                          std::string_view value) const;

    const std::string& bytes() const { return m_bytes; }

  private:
    struct line {
        size_t begin;    // first byte
        size_t end;      // one past the last byte before the line end
        size_t next;     // one past the line end
        bool is_header;  // "[name]"
        size_t name_begin;
        size_t name_size;
    };
    struct section_span {
        size_t first_line;  // the line after the header
        size_t end_line;    // the next header or the end
    };

    std::optional<section_span> find_section(std::string_view section) const;
    std::string_view text_of(const line& l) const;
    std::string line_end() const;

    std::string m_bytes;
    std::vector<line> m_lines;
};

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);

}  // namespace dialdeck
