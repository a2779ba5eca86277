// The media relay's messages: building the requests and judging the answers.
#pragma once

#include <cstddef>
#include <string>

namespace voxline {

inline constexpr size_t PROXY_SESSION_ID_MAX = 24;  // the whole client name

enum class proxy_verdict {
    not_accepted,  // not the answer to this request; reading goes on
    granted,
    refused,
};

// The client name as one token: blanks and control characters become '_'.
std::string proxy_session_id(const char* client_name);

std::string proxy_alloc_request(const std::string& session_id, const char* call_agent_ip);
std::string proxy_probe_request(const std::string& session_id);
std::string proxy_dealloc_request(const std::string& session_id);

// Each judges one answer's text (up to its first NUL) from sender, both
// addresses as dotted text, and logs why an answer it recognises is ignored.
proxy_verdict validate_alloc_answer(const char* text, const std::string& session_id,
                                    const char* expected_proxy, const char* sender,
                                    int* relay_port);
proxy_verdict validate_probe_answer(const char* text, const std::string& session_id,
                                    const char* expected_proxy, const char* sender);
proxy_verdict validate_dealloc_answer(const char* text, const std::string& session_id,
                                      const char* expected_proxy, const char* sender);

}  // namespace voxline
