#include "ini_text.h"

#include <algorithm>

namespace dialdeck {

namespace {

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_ignoring_ascii_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equal_ignoring_ascii_case(text.substr(0, prefix.size()), prefix);
}

bool has_control_byte(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// Key lines hold "="; a header is "[" ... "]" with no "=" before the "]", since a
// scrambled key name may itself begin with "[".
bool is_key_line(std::string_view text) {
    return text.find('=') != std::string_view::npos;
}

// Ends an unterminated last line. A lone CR at its end is part of its value,
// so it gets a CR LF after it, which keeps that CR a byte of the line.
void terminate_last_line(std::string& text, const std::string& eol) {
    if (text.empty() || text.back() == '\n') return;
    text += text.back() == '\r' ? "\r\n" : eol;
}

}  // namespace

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

ini_text::ini_text(std::string bytes) : m_bytes(std::move(bytes)) {
    size_t pos = 0;
    while (pos < m_bytes.size()) {
        const size_t newline = m_bytes.find('\n', pos);
        line l{};
        l.begin = pos;
        if (newline == std::string::npos) {
            l.end = l.next = m_bytes.size();
        } else {
            l.next = newline + 1;
            l.end = (newline > pos && m_bytes[newline - 1] == '\r') ? newline - 1 : newline;
        }
        const std::string_view text = text_of(l);
        const size_t close = text.find(']');
        if (!text.empty() && text[0] == '[' && close != std::string_view::npos &&
            text.substr(0, close).find('=') == std::string_view::npos) {
            l.is_header = true;
            l.name_begin = l.begin + 1;
            l.name_size = close - 1;
        }
        m_lines.push_back(l);
        pos = l.next;
    }
}

std::string_view ini_text::text_of(const line& l) const {
    return std::string_view(m_bytes).substr(l.begin, l.end - l.begin);
}

std::optional<ini_text::section_span> ini_text::find_section(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const line& l = m_lines[i];
        if (!l.is_header) continue;
        if (!equal_ignoring_ascii_case(std::string_view(m_bytes).substr(l.name_begin, l.name_size),
                                       section)) {
            continue;
        }
        size_t end = i + 1;
        while (end < m_lines.size() && !m_lines[end].is_header) ++end;
        return section_span{i + 1, end};
    }
    return std::nullopt;
}

std::string ini_text::read_value(std::string_view section, std::string_view key) const {
    if (key.empty()) return {};
    const auto span = find_section(section);
    if (!span) return {};
    const std::string prefix = std::string(key) + "=";
    for (size_t i = span->first_line; i < span->end_line; ++i) {
        const std::string_view text = text_of(m_lines[i]);
        if (starts_with_ignoring_ascii_case(text, prefix)) {
            return std::string(text.substr(prefix.size(), k_value_limit));
        }
    }
    return {};
}

bool ini_text::has_section(std::string_view section) const {
    const auto span = find_section(section);
    if (!span) return false;
    for (size_t i = span->first_line; i < span->end_line; ++i) {
        if (is_key_line(text_of(m_lines[i]))) return true;
    }
    return false;
}

std::vector<std::string> ini_text::section_names() const {
    std::vector<std::string> names;
    for (const line& l : m_lines) {
        if (l.is_header) names.emplace_back(m_bytes, l.name_begin, l.name_size);
    }
    return names;
}

std::vector<std::string> ini_text::section_lines(std::string_view section) const {
    std::vector<std::string> lines;
    const auto span = find_section(section);
    if (!span) return lines;
    for (size_t i = span->first_line; i < span->end_line; ++i) {
        const std::string_view text = text_of(m_lines[i]);
        if (is_key_line(text)) lines.emplace_back(text);
    }
    return lines;
}

std::string ini_text::line_end() const {
    // New lines follow the file's own style.
    for (const line& l : m_lines) {
        if (l.next > l.end) return m_bytes.substr(l.end, l.next - l.end);
    }
    return "\r\n";
}

std::optional<std::string> ini_text::with_value(std::string_view section, std::string_view key,
                                                std::string_view value) const {
    if (key.empty() || value.size() > k_value_limit || has_control_byte(section) ||
        has_control_byte(key) || has_control_byte(value) ||
        section.find(']') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string eol = line_end();
    const std::string prefix = std::string(key) + "=";
    std::string out;
    const auto span = find_section(section);
    if (!span) {
        out = m_bytes;
        terminate_last_line(out, eol);
        out += "[" + std::string(section) + "]" + eol + prefix + std::string(value) + eol;
        return out;
    }
    for (size_t i = span->first_line; i < span->end_line; ++i) {
        const line& l = m_lines[i];
        if (!starts_with_ignoring_ascii_case(text_of(l), prefix)) continue;
        // The name keeps its own spelling; only the value bytes change.
        const size_t value_begin = l.begin + prefix.size();
        out = m_bytes.substr(0, value_begin);
        out += value;
        out += std::string_view(m_bytes).substr(l.end);
        return out;
    }
    // A new key goes after the section's last non-blank line, before any blank
    // lines that separate it from the next section.
    size_t after = span->first_line;  // index of the line to insert before
    for (size_t i = span->first_line; i < span->end_line; ++i) {
        if (m_lines[i].end > m_lines[i].begin) after = i + 1;
    }
    const size_t insert_at = after == 0 ? 0 : m_lines[after - 1].next;
    out = m_bytes.substr(0, insert_at);
    terminate_last_line(out, eol);
    out += prefix;
    out += value;
    out += eol;
    out += std::string_view(m_bytes).substr(insert_at);
    return out;
}

}  // namespace dialdeck
