#include "mgcp/mgcp_codec.h"

#include <cstring>
#include <string_view>

#include "mgcp/mgcp_parameters.h"
#include "mgcp/mgcp_tables.h"
#include "mgcp/mgcp_text.h"

namespace voxline {

namespace {

constexpr uint32_t MGCP_CODE_UNKNOWN_PARAMETER = 510;
constexpr uint32_t MGCP_CODE_BAD_VERSION = 528;

bool encode_parameters(const mgcp_message& message, mgcp_text_writer& out) {
    for (const auto& p : message.parameters) {
        const mgcp_parameter_row* row = find_parameter_row(p->type);
        if (!row || !row->write) continue;
        size_t mark = out.length();
        if (p->type == MGCP_PARAM_SESSION) out.append("\r\n");
        bool written = row->write(*row, *p, out);
        if (out.overflowed()) return false;
        if (!written) {
            out.truncate(mark);
            continue;
        }
        out.append("\r\n");
    }
    return !out.overflowed();
}

// Splits off one line; lines end at CR (with an LF after it) or at a bare LF.
std::string_view take_line(std::string_view& text) {
    size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
        std::string_view line = text;
        text = {};
        return line;
    }
    std::string_view line = text.substr(0, end);
    size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
    return line;
}

std::string_view take_token(std::string_view& line) {
    line = skip_blanks(line);
    size_t end = 0;
    while (end < line.size() && !is_blank(line[end])) ++end;
    std::string_view token = line.substr(0, end);
    line.remove_prefix(end);
    return token;
}

int kind_of_verb(std::string_view verb) {
    auto upper = [&](size_t i) {
        char c = i < verb.size() ? verb[i] : '\0';
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    };
    switch (upper(0)) {
        case 'A':
            return upper(2) == 'E' ? MGCP_AUEP : MGCP_AUCX;
        case 'C':
            return MGCP_CRCX;
        case 'D':
            return MGCP_DLCX;
        case 'M':
            return MGCP_MDCX;
        case 'N':
            return MGCP_NTFY;
        case 'R':
            return upper(1) == 'Q' ? MGCP_RQNT : MGCP_RSIP;
        default:
            return MGCP_UNPARSED;
    }
}

uint32_t read_transaction_id(std::string_view token) {
    uint64_t id = 0;
    if (!read_unsigned(token, 10, UINT32_MAX, &id)) return 0;
    return static_cast<uint32_t>(id);
}

// The version is read around the first "." after the endpoint name.
bool version_is_1_0(std::string_view rest, mgcp_message& message) {
    size_t dot = rest.find('.');
    if (dot == std::string_view::npos) return false;
    size_t start = dot;
    while (start > 0 && rest[start - 1] >= '0' && rest[start - 1] <= '9') --start;
    uint64_t major = 0, minor = 0;
    bool has_major = read_unsigned(rest.substr(start, dot - start), 10, 255, &major);
    std::string_view after = rest.substr(dot + 1);
    bool has_minor = !after.empty() && after.front() >= '0' && after.front() <= '9' &&
                     read_unsigned(after, 10, 255, &minor);
    message.version_major = static_cast<uint8_t>(major);
    message.version_minor = static_cast<uint8_t>(minor);
    return has_major && has_minor && major == 1 && minor == 0;
}

void fail_command(mgcp_message& message, uint32_t code) {
    message.kind = MGCP_UNPARSED;
    message.response_code = code;
}

// A line's name ends at a blank, or right after its ":" when no blank follows.
void split_parameter_line(std::string_view line, std::string_view* name, std::string_view* value) {
    size_t end = 0;
    while (end < line.size() && !is_blank(line[end])) ++end;
    size_t colon = line.substr(0, end).find(':');
    if (colon != std::string_view::npos && colon + 1 < end) {
        *name = line.substr(0, colon + 1);
        *value = line.substr(colon + 1);
        return;
    }
    *name = line.substr(0, end);
    *value = end < line.size() ? line.substr(end + 1) : std::string_view{};
}

}  // namespace

bool encode_message(mgcp_message& message) {
    mgcp_text_writer out(message.text, sizeof message.text);
    message.text_length = 0;
    if (const char* verb = verb_text(message.kind)) {
        if (message.transaction_id == 0) return false;
        out.append(verb);
        out.append_number(message.transaction_id);
        out.append(" ");
        out.append(std::string_view(message.endpoint_name,
                                    strnlen(message.endpoint_name, sizeof message.endpoint_name)));
        out.append(" MGCP 1.0\r\n");
    } else if (message.kind == MGCP_RESPONSE) {
        out.append_number(message.response_code);
        out.append(" ");
        out.append_number(message.transaction_id);
        out.append("\r\n");
    } else {
        return false;
    }
    if (!encode_parameters(message, out)) {
        message.text[0] = '\0';
        return false;
    }
    message.text_length = static_cast<int>(out.length());
    return true;
}

std::unique_ptr<mgcp_message> parse_message(const char* data, size_t length) {
    char buffer[MGCP_TEXT_SIZE + 1];
    size_t n = length < MGCP_TEXT_SIZE ? length : MGCP_TEXT_SIZE;
    memcpy(buffer, data, n);
    buffer[n] = '\0';
    std::string_view text(buffer, strlen(buffer));
    if (text.starts_with('\n')) text.remove_prefix(1);

    std::string_view first = take_line(text);
    std::string_view token = take_token(first);
    if (token.empty()) return nullptr;

    std::unique_ptr<mgcp_message> message;
    if (token.front() >= '0' && token.front() <= '9') {
        message = create_message(MGCP_RESPONSE);
        uint64_t code = 0;
        read_unsigned(token, 10, 999, &code);
        message->response_code = static_cast<uint32_t>(code);
        message->transaction_id = read_transaction_id(take_token(first));
    } else {
        int kind = kind_of_verb(token);
        if (kind == MGCP_UNPARSED) return nullptr;
        message = create_message(kind);
        message->transaction_id = read_transaction_id(take_token(first));
        bounded_copy(message->endpoint_name, sizeof message->endpoint_name, take_token(first));
        if (!version_is_1_0(first, *message)) {
            fail_command(*message, MGCP_CODE_BAD_VERSION);
            return message;
        }
        if (message->transaction_id == 0) {
            fail_command(*message, MGCP_CODE_UNKNOWN_PARAMETER);
            return message;
        }
    }
    bool is_response = message->kind == MGCP_RESPONSE;

    bool has_body = false;
    while (!text.empty()) {
        std::string_view line = take_line(text);
        if (trim_blanks(line).empty()) {
            has_body = true;
            break;
        }
        std::string_view name, value;
        split_parameter_line(line, &name, &value);
        const mgcp_parameter_row* row = find_parameter_row(name);
        auto parameter = std::make_unique<mgcp_parameter>();
        if (row && row->read) {
            parameter->type = row->type;
            if (row->read(value, *parameter)) {
                add_parameter(*message, std::move(parameter));
                continue;
            }
        }
        if (is_response) continue;
        fail_command(*message, MGCP_CODE_UNKNOWN_PARAMETER);
        return message;
    }

    if (has_body && text.find("v=") != std::string_view::npos) {
        if (auto session = read_session_description(text)) {
            auto parameter = std::make_unique<mgcp_parameter>();
            parameter->type = MGCP_PARAM_SESSION;
            parameter->session = *session;
            add_parameter(*message, std::move(parameter));
        }
    }
    return message;
}

}  // namespace voxline
