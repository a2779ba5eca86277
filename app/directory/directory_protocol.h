// The directory server's text protocol: request bytes, response parsing and
// the requests the application sends. Plain C++ so it can be fuzzed alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

inline constexpr std::string_view DIRECTORY_REQUEST_PREFIX = "POST / HTTP/1.1\r\n\r\n";
inline constexpr std::string_view DIRECTORY_RESPONSE_PREFIX = "HTTP/1.1 200 OK\r\n\r\n";
inline constexpr size_t DIRECTORY_MAX_RESPONSE = 65535;

// The exchange results besides 1 (answered with the request's code) and a
// foreign response code.
enum directory_result : int {
    DIRECTORY_OK = 1,
    DIRECTORY_NOT_WRITABLE = -1,
    DIRECTORY_NOTHING_RECEIVED = -2,
    DIRECTORY_CODE_ZERO = -3,
    DIRECTORY_SEND_FAILED = -8,
};

struct directory_request {
    int code = 0;
    std::string text;
    int count = 0;
};

struct directory_response {
    int code = 0;
    std::string text = "null";
    int count = 0;
    std::string list = "[]";
    std::vector<std::string> items;
};

// Leading blanks, optional sign, decimal digits up to the first other
// character; saturates instead of overflowing.
int parse_directory_number(std::string_view text);

std::string build_directory_request(int code, std::string_view text, int count);
inline std::string build_directory_request(const directory_request& r) {
    return build_directory_request(r.code, r.text, r.count);
}

// Bytes up to a NUL count, as the answer was once read as a C string.
directory_response parse_directory_response(std::string_view bytes);

// True once the bytes hold the four fields and the list has ended, so a
// reader can stop without waiting for the server to close.
bool directory_response_complete(std::string_view bytes);

// 1 for the request's own code, -3 for code 0, else the response code. A
// foreign code that would read as success or as a local error is -3 too.
int directory_result_for(int request_code, int response_code);

// The request table.
directory_request account_lookup_request(std::string_view account);
directory_request log_on_request(std::string_view number, std::string_view key);
directory_request keep_alive_request(std::string_view number);
directory_request log_off_request(std::string_view number, std::string_view key);
// Typed names lose ":" and "|", which would break the request's fields.
directory_request search_request(std::string_view first, std::string_view last,
                                 std::string_view group, std::string_view key);
directory_request server_contacts_request(std::string_view number);
directory_request add_contact_request(std::string_view number, std::string_view phone);

// Dotted IPv4 only: four decimal parts of 0-255; no names, no short forms.
bool is_dotted_ipv4(std::string_view text);

}  // namespace dialdeck
