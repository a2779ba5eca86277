#include "nat/nat_answer.h"

#include <cstdint>
#include <cstring>

#include "nat/datagram_channel.h"
#include "util/udp_socket.h"

namespace voxline {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

nat_answer read_nat_answer(const char* text, size_t length) {
    nat_answer answer;
    const char* p = text;
    const char* end = text + text_length(text, length);
    while (p < end && is_blank(*p)) ++p;

    // The port: an optional sign and decimal digits, kept from overflowing.
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* digits = p;
    int64_t value = 0;
    bool overflow = false;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 65535) {
            overflow = true;
            value = 65536;
        }
    }
    if (p == digits) return answer;
    answer.tokens_read = 1;
    answer.port = negative ? -static_cast<int>(value) : static_cast<int>(value);
    const bool port_ok = !negative && !overflow && value >= 1;

    while (p < end && is_blank(*p)) ++p;
    const char* token = p;
    while (p < end && !is_blank(*p)) ++p;
    if (p == token) return answer;
    answer.tokens_read = 2;
    const size_t token_length = static_cast<size_t>(p - token);
    if (token_length > NAT_IP_MAX) return answer;
    std::memcpy(answer.ip, token, token_length);
    answer.ip[token_length] = '\0';

    uint32_t address = 0;
    answer.valid = port_ok && dotted_to_address(answer.ip, &address);
    return answer;
}

}  // namespace voxline
