#include "command_words.h"

#include <cstdint>
#include <cstdio>

namespace kestrel_host {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint32_t> read_hex4(std::string_view text, size_t pos) {
    if (pos + 4 > text.size()) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int digit = hex_value(text[pos + i]);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::optional<std::string> decode_json_string(std::string_view text, size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string out;
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::optional<uint32_t> code = read_hex4(text, i + 1);
                if (!code) return std::nullopt;
                i += 4;
                if (*code >= 0xD800 && *code < 0xDC00) {
                    // A high surrogate needs its low half.
                    if (i + 2 >= text.size() || text[i + 1] != '\\' || text[i + 2] != 'u')
                        return std::nullopt;
                    const std::optional<uint32_t> low = read_hex4(text, i + 3);
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
                    i += 6;
                    *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                } else if (*code >= 0xDC00 && *code <= 0xDFFF) {
                    return std::nullopt;
                }
                if (*code == 0) return std::nullopt;  // the control's texts end at NUL
                append_utf8(out, *code);
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

split_result split_command(std::string_view line) {
    split_result result;
    // The control's texts end at NUL; a line holding one would be cut short.
    if (line.find('\0') != std::string_view::npos) {
        result.error = "NUL byte in the line";
        return result;
    }
    size_t pos = 0;
    while (pos < line.size()) {
        if (is_blank(line[pos])) {
            ++pos;
            continue;
        }
        if (line[pos] == '"') {
            const size_t start = pos;
            std::optional<std::string> word = decode_json_string(line, pos);
            if (!word || (pos < line.size() && !is_blank(line[pos]))) {
                result.words.clear();
                result.error = "bad quoted word at column " + std::to_string(start + 1);
                return result;
            }
            result.words.push_back(std::move(*word));
            continue;
        }
        const size_t start = pos;
        while (pos < line.size() && !is_blank(line[pos])) ++pos;
        result.words.emplace_back(line.substr(start, pos - start));
    }
    return result;
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace kestrel_host
