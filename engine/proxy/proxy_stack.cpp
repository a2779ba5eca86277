#include "proxy/proxy_stack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

// Each attempt's wait for an answer, in ms.
constexpr int64_t ATTEMPT_WAITS_MS[] = {100, 100, 100, 100, 100, 200, 300, 500, 500};
constexpr size_t READ_BUFFER = 1024;
constexpr size_t HEX_BYTES = 10;

void log_hex_datagram(const char* from, int port, const char* data, const datagram_info& info) {
    char hex[HEX_BYTES * 3 + 1] = {};
    const size_t n = std::min(info.length, HEX_BYTES);
    for (size_t i = 0; i < n; ++i)
        std::snprintf(hex + i * 3, 4, "%02x ", static_cast<unsigned char>(data[i]));
    VXL_LOG(LOG_ALWAYS, "Rx-Proxy[%s:%d]: (%d bytes) %s", from, port, static_cast<int>(info.length),
            hex);
}

// The list entry trimmed and in canonical dotted form; false when it is not one.
bool proxy_entry(std::string entry, char (&out)[PROXY_ADDRESS_MAX + 1]) {
    constexpr const char* blanks = " \t\r\n";
    const size_t first = entry.find_first_not_of(blanks);
    entry = first == std::string::npos
                ? std::string()
                : entry.substr(first, entry.find_last_not_of(blanks) - first + 1);
    uint32_t address = 0;
    if (!dotted_to_address(entry.c_str(), &address)) {
        char shown[64];
        printable_text(entry.data(), entry.size(), shown, sizeof shown);
        VXL_LOG(LOG_ERROR, "Invalid proxy address [%s] skipped", shown);
        return false;
    }
    address_to_dotted(address, out, sizeof out);
    return true;
}

}  // namespace

proxy_stack::proxy_stack(datagram_channel& channel, const char* client_name)
    : m_channel(channel), m_session_id(proxy_session_id(client_name)) {}

proxy_verdict proxy_stack::transact(const std::string& request, const char* address, int port,
                                    const validator& accept) {
    uint32_t destination = 0;
    if (!dotted_to_address(address, &destination) || port < 1 || port > 65535)
        return proxy_verdict::not_accepted;
    char buffer[READ_BUFFER];
    for (const int64_t wait : ATTEMPT_WAITS_MS) {
        if (m_channel.stop_requested()) return proxy_verdict::not_accepted;
        VXL_LOG(LOG_ALWAYS, "Tx-Proxy[%s:%d]: %s", address, port, request.c_str());
        // The NUL goes too.
        const int error = m_channel.send(request.c_str(), request.size() + 1, destination,
                                         static_cast<uint16_t>(port));
        if (error != 0) {
            VXL_LOG(LOG_ERROR, "Tx-Proxy failed; error=%d", error);
            continue;
        }
        const int64_t deadline = m_channel.now_ms() + wait;
        for (int64_t left = wait; left > 0 && !m_channel.stop_requested();
             left = deadline - m_channel.now_ms()) {
            datagram_info info;
            int read_error = 0;
            const int rc = m_channel.receive(buffer, sizeof buffer, &info, left, &read_error);
            if (rc == CHANNEL_TIMEOUT) break;
            if (rc != CHANNEL_OK) {
                VXL_LOG(LOG_ERROR, "Read proxy response failed.  error=%d", read_error);
                break;
            }
            char from[16];
            address_to_dotted(info.from_address, from, sizeof from);
            proxy_verdict verdict = proxy_verdict::not_accepted;
            const size_t length = text_length(buffer, info.length);
            if (!info.truncated && length > 6 && std::memcmp(buffer, "PROXY_", 6) == 0) {
                char text[READ_BUFFER + 1];
                printable_text(buffer, info.length, text, sizeof text);
                VXL_LOG(LOG_ALWAYS, "Rx-Proxy[%s:%d]: %s", from, info.from_port, text);
                verdict = accept(text, from);
            } else {
                log_hex_datagram(from, info.from_port, buffer, info);
            }
            if (verdict != proxy_verdict::not_accepted) return verdict;
            VXL_LOG(LOG_INFO, "Ignored unexpected response");
        }
    }
    VXL_LOG(LOG_ERROR, "Timed out waiting for proxy response");
    return proxy_verdict::not_accepted;
}

bool proxy_stack::allocate(const char* proxy_list, int control_port, const char* call_agent_ip,
                           char (&proxy_address)[PROXY_ADDRESS_MAX + 1], int* relay_port) {
    const std::string request = proxy_alloc_request(m_session_id, call_agent_ip);
    const std::string list(proxy_list ? proxy_list : "");
    for (size_t start = 0; start <= list.size();) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string entry = list.substr(start, comma - start);
        start = comma + 1;
        if (!proxy_entry(entry, proxy_address)) continue;
        int port = -1;
        const proxy_verdict verdict = transact(
            request, proxy_address, control_port, [&](const char* text, const char* sender) {
                return validate_alloc_answer(text, m_session_id, proxy_address, sender, &port);
            });
        if (verdict == proxy_verdict::granted) {
            *relay_port = port;
            return true;
        }
    }
    proxy_address[0] = '\0';
    return false;
}

bool proxy_stack::probe(const char* proxy_address, int relay_port) {
    return transact(proxy_probe_request(m_session_id), proxy_address, relay_port,
                    [&](const char* text, const char* sender) {
                        return validate_probe_answer(text, m_session_id, proxy_address, sender);
                    }) == proxy_verdict::granted;
}

bool proxy_stack::release(const char* proxy_address, int control_port) {
    return transact(proxy_dealloc_request(m_session_id), proxy_address, control_port,
                    [&](const char* text, const char* sender) {
                        return validate_dealloc_answer(text, m_session_id, proxy_address, sender);
                    }) == proxy_verdict::granted;
}

}  // namespace voxline
