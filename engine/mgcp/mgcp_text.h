// Small text helpers shared by the MGCP readers and writers: a bounded
// appender for the 255-byte message buffer and scanners that never read past
// the text they were given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace voxline {

// Appends into a fixed buffer and remembers when something did not fit; the
// buffer always stays NUL-terminated and is never written past.
class mgcp_text_writer {
  public:
    mgcp_text_writer(char* buffer, size_t capacity);

    void append(std::string_view text);
    void append_char(char c);
    void append_number(uint64_t value, int base = 10);
    void append_format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    size_t length() const { return m_length; }
    bool overflowed() const { return m_overflow; }
    // Drops everything written after mark (used when a writer gives up).
    void truncate(size_t mark);
    // Clears the overflow flag, e.g. after a failed parameter was taken back.
    void clear_overflow() { m_overflow = false; }
    // Removes a trailing separator such as ", " when it is there.
    void remove_suffix(std::string_view suffix);
    std::string_view text() const { return {m_buffer, m_length}; }

  private:
    char* m_buffer;
    size_t m_capacity;
    size_t m_length = 0;
    bool m_overflow = false;
};

inline bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view skip_blanks(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    return text.substr(i);
}

inline std::string_view trim_blanks(std::string_view text) {
    text = skip_blanks(text);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

bool iequals(std::string_view a, std::string_view b);

// Reads the unsigned number at the start of text in the given base (leading
// blanks skipped); false when there is no digit or the value exceeds max.
// consumed (optional) receives the number of characters used.
bool read_unsigned(std::string_view text, int base, uint64_t max, uint64_t* value,
                   size_t* consumed = nullptr);

// Copies at most capacity-1 characters and terminates; returns false when
// the source had to be cut.
bool bounded_copy(char* destination, size_t capacity, std::string_view source);

}  // namespace voxline
