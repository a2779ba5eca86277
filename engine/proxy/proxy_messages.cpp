#include "proxy/proxy_messages.h"

#include <cstring>
#include <string_view>

#include "util/vxl_log.h"

namespace voxline {

namespace {

// The answer's blank-separated fields, read in place.
struct fields {
    std::string_view name, id, port;
};

fields split(const char* text) {
    fields f;
    std::string_view* out[] = {&f.name, &f.id, &f.port};
    const char* p = text;
    for (std::string_view* field : out) {
        while (*p == ' ') ++p;
        const char* start = p;
        while (*p && *p != ' ') ++p;
        *field = std::string_view(start, static_cast<size_t>(p - start));
    }
    return f;
}

// Decimal 1..65535, nothing else; -1 when not.
int read_port(std::string_view text) {
    if (text.empty() || text.size() > 5) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535 ? value : -1;
}

bool same_sender(const char* expected_proxy, const char* sender) {
    return std::strcmp(expected_proxy, sender) == 0;
}

// The answers that carry only a name and the identifier.
proxy_verdict validate_plain(const char* text, const std::string& session_id,
                             const char* expected_proxy, const char* sender, const char* name,
                             const char* wrong_proxy_line, const char* wrong_id_line) {
    const fields f = split(text);
    if (f.name != name) return proxy_verdict::not_accepted;
    if (!same_sender(expected_proxy, sender)) {
        VXL_LOG(LOG_INFO, "%s", wrong_proxy_line);
        return proxy_verdict::not_accepted;
    }
    if (f.id != session_id) {
        VXL_LOG(LOG_INFO, "%s", wrong_id_line);
        return proxy_verdict::not_accepted;
    }
    return proxy_verdict::granted;
}

}  // namespace

std::string proxy_session_id(const char* client_name) {
    std::string id(client_name ? client_name : "");
    if (id.size() > PROXY_SESSION_ID_MAX) id.resize(PROXY_SESSION_ID_MAX);
    for (char& c : id) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7f) c = '_';
    }
    return id;
}

std::string proxy_alloc_request(const std::string& session_id, const char* call_agent_ip) {
    return "PROXY_ALLOC 0 " + session_id + " " + call_agent_ip;
}

std::string proxy_probe_request(const std::string& session_id) {
    return "PROXY_PROBE " + session_id;
}

std::string proxy_dealloc_request(const std::string& session_id) {
    return "PROXY_DEALLOC 0 " + session_id;
}

proxy_verdict validate_alloc_answer(const char* text, const std::string& session_id,
                                    const char* expected_proxy, const char* sender,
                                    int* relay_port) {
    const fields f = split(text);
    if (f.name == "PROXY_ACKALLOC") {
        // A grant names the address we advertise: only the proxy asked may give one.
        if (!same_sender(expected_proxy, sender)) {
            VXL_LOG(LOG_INFO, "Acknowledge from incorrect proxy ignored");
            return proxy_verdict::not_accepted;
        }
        if (f.id != session_id) {
            VXL_LOG(LOG_INFO, "Acknowledge with unexpected session ID (%.*s) ignored",
                    static_cast<int>(f.id.size()), f.id.data());
            return proxy_verdict::not_accepted;
        }
        const int port = read_port(f.port);
        if (port < 0) return proxy_verdict::not_accepted;
        *relay_port = port;
        return proxy_verdict::granted;
    }
    if (f.name == "PROXY_NAKALLOC") {
        if (!same_sender(expected_proxy, sender)) {
            VXL_LOG(LOG_INFO, "Negative acknowledge from incorrect proxy ignored");
            return proxy_verdict::not_accepted;
        }
        if (f.id != session_id) {
            VXL_LOG(LOG_INFO, "Negative acknowledge with unexpected session ID ignored");
            return proxy_verdict::not_accepted;
        }
        return proxy_verdict::refused;
    }
    return proxy_verdict::not_accepted;
}

proxy_verdict validate_probe_answer(const char* text, const std::string& session_id,
                                    const char* expected_proxy, const char* sender) {
    return validate_plain(text, session_id, expected_proxy, sender, "PROXY_ACKPROBE",
                          "Probe acknowledge from incorrect proxy ignored",
                          "Probe acknowledge with unexpected session ID ignored");
}

proxy_verdict validate_dealloc_answer(const char* text, const std::string& session_id,
                                      const char* expected_proxy, const char* sender) {
    return validate_plain(text, session_id, expected_proxy, sender, "PROXY_ACKDEALLOC",
                          "Dellocate acknowledge from incorrect proxy ignored",
                          "Deallocate acknowledge with unexpected session ID ignored");
}

}  // namespace voxline
