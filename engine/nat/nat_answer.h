// The NAT information service's request and the reading of its answer.
#pragma once

#include <cstddef>

namespace voxline {

// "GetNAT" and its NUL: 7 bytes on the wire.
inline constexpr char NAT_REQUEST[] = "GetNAT";
inline constexpr size_t NAT_REQUEST_SIZE = sizeof NAT_REQUEST;

// An answer longer than this is refused unread.
inline constexpr size_t NAT_ANSWER_MAX = 40;
inline constexpr size_t NAT_IP_MAX = 15;  // dotted IPv4

struct nat_answer {
    int tokens_read = 0;  // fields found, as "%d %s" would count them
    int port = -1;        // 1..65535 when valid
    char ip[NAT_IP_MAX + 1] = {};
    bool valid = false;  // two fields, a port in range and a dotted IPv4 address
};

// Reads "<port> <ip>" from a text of the given length (it ends earlier at a
// NUL). A port that is not decimal 1..65535 or an address token longer than a
// dotted address leaves the answer invalid.
nat_answer read_nat_answer(const char* text, size_t length);

}  // namespace voxline
