#include "directory_protocol.h"

#include <climits>

#include "fields.h"

namespace dialdeck {

namespace {

std::string_view before_nul(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

std::string_view after_http_line(std::string_view bytes) {
    const size_t at = bytes.find(DIRECTORY_RESPONSE_PREFIX);
    return at == std::string_view::npos ? bytes
                                        : bytes.substr(at + DIRECTORY_RESPONSE_PREFIX.size());
}

std::string without_separators(std::string_view typed) {
    std::string clean;
    for (char c : typed)
        if (c != ':' && c != '|') clean += c;
    return clean;
}

std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    bool first = true;
    for (std::string_view p : parts) {
        if (!first) text += ':';
        text += p;
        first = false;
    }
    return text;
}

}  // namespace

int parse_directory_number(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string build_directory_request(int code, std::string_view text, int count) {
    std::string request(DIRECTORY_REQUEST_PREFIX);
    request += std::to_string(code);
    request += '|';
    request += text;
    request += '|';
    request += std::to_string(count);
    request += "|[]";
    return request;
}

directory_response parse_directory_response(std::string_view bytes) {
    directory_response r;
    const std::vector<std::string_view> fields =
        split_views(after_http_line(before_nul(bytes)), '|');
    if (fields.size() < 4) return r;
    r.code = parse_directory_number(fields[0]);
    r.text = fields[1];
    r.count = parse_directory_number(fields[2]);
    r.list = fields[3];
    if (r.list.size() > 2) {
        std::string_view inner = r.list;
        inner.remove_prefix(1);
        inner.remove_suffix(1);
        for (const std::string_view item : split_views(inner)) r.items.emplace_back(item);
    }
    return r;
}

bool directory_response_complete(std::string_view bytes) {
    const std::string_view body = after_http_line(before_nul(bytes));
    return split_views(body, '|').size() >= 4 && body.ends_with(']');
}

int directory_result_for(int request_code, int response_code) {
    if (response_code == request_code) return DIRECTORY_OK;
    if (response_code <= DIRECTORY_OK) return DIRECTORY_CODE_ZERO;
    return response_code;
}

directory_request account_lookup_request(std::string_view account) {
    return {9, std::string(account) + ":undefined", 2};
}

directory_request log_on_request(std::string_view number, std::string_view key) {
    return {22, joined({number, key}), 2};
}

directory_request keep_alive_request(std::string_view number) {
    return {23, std::string(number), 1};
}

directory_request log_off_request(std::string_view number, std::string_view key) {
    return {21, joined({number, key, "0"}), 3};
}

directory_request search_request(std::string_view first, std::string_view last,
                                 std::string_view group, std::string_view key) {
    const std::string first_pattern = without_separators(first) + "*";
    const std::string last_pattern = without_separators(last) + "*";
    return {8, joined({first_pattern, last_pattern, group, key, "500", "false"}), 6};
}

directory_request server_contacts_request(std::string_view number) {
    return {13, std::string(number), 1};
}

directory_request add_contact_request(std::string_view number, std::string_view phone) {
    return {11, joined({number, phone}), 2};
}

bool is_dotted_ipv4(std::string_view text) {
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t digits = 0;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    return i == text.size();
}

}  // namespace dialdeck
