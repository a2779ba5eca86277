#include "mgcp/mgcp_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace voxline {

mgcp_text_writer::mgcp_text_writer(char* buffer, size_t capacity)
    : m_buffer(buffer), m_capacity(capacity) {
    if (m_capacity > 0) m_buffer[0] = '\0';
}

void mgcp_text_writer::append(std::string_view text) {
    if (m_overflow || text.empty()) return;
    // One byte always stays free for the terminator.
    if (m_capacity == 0 || text.size() > m_capacity - 1 - m_length) {
        m_overflow = true;
        return;
    }
    memcpy(m_buffer + m_length, text.data(), text.size());
    m_length += text.size();
    m_buffer[m_length] = '\0';
}

void mgcp_text_writer::append_char(char c) {
    append(std::string_view(&c, 1));
}

void mgcp_text_writer::append_number(uint64_t value, int base) {
    char digits[24];
    snprintf(digits, sizeof digits, base == 16 ? "%llx" : "%llu",
             static_cast<unsigned long long>(value));
    append(digits);
}

void mgcp_text_writer::append_format(const char* format, ...) {
    if (m_overflow || m_capacity == 0) return;
    va_list args;
    va_start(args, format);
    size_t room = m_capacity - m_length;
    int n = vsnprintf(m_buffer + m_length, room, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= room) {
        m_overflow = true;
        m_buffer[m_length] = '\0';
        return;
    }
    m_length += static_cast<size_t>(n);
}

void mgcp_text_writer::truncate(size_t mark) {
    if (mark > m_length) return;
    m_length = mark;
    if (m_capacity > 0) m_buffer[m_length] = '\0';
}

void mgcp_text_writer::remove_suffix(std::string_view suffix) {
    if (text().ends_with(suffix)) truncate(m_length - suffix.size());
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

static int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

bool read_unsigned(std::string_view text, int base, uint64_t max, uint64_t* value,
                   size_t* consumed) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    size_t first = i;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        int d = digit_value(text[i]);
        if (d >= base) break;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (v > max) return false;
    }
    if (i == first) return false;
    *value = v;
    if (consumed) *consumed = i;
    return true;
}

bool bounded_copy(char* destination, size_t capacity, std::string_view source) {
    if (capacity == 0) return source.empty();
    size_t n = source.size() < capacity - 1 ? source.size() : capacity - 1;
    if (n > 0) memcpy(destination, source.data(), n);
    destination[n] = '\0';
    return n == source.size();
}

}  // namespace voxline
