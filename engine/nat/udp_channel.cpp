#include <arpa/inet.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "nat/datagram_channel.h"
#include "platform/clock.h"
#include "util/udp_socket.h"

namespace voxline {

int udp_channel::send(const void* data, size_t length, uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = htons(port);
    if (m_socket.write_socket_block(data, length, &to) == UDP_OK) return 0;
    return m_socket.last_error() ? m_socket.last_error() : -1;
}

int udp_channel::receive(char* buffer, size_t capacity, datagram_info* info, int64_t timeout_ms,
                         int* error) {
    *info = {};
    *error = 0;
    sockaddr_in from{};
    int length = static_cast<int>(std::min<size_t>(capacity, INT_MAX));
    const int rc = m_socket.read_socket_timeout_us(buffer, &length, &from,
                                                   std::max<int64_t>(timeout_ms, 0) * 1000);
    if (rc == UDP_TIMEOUT) return CHANNEL_TIMEOUT;
    if (rc != UDP_OK && rc != UDP_EMPTY_DATAGRAM) {
        *error = m_socket.last_error();
        return CHANNEL_ERROR;
    }
    info->length = rc == UDP_EMPTY_DATAGRAM ? 0 : static_cast<size_t>(length);
    info->truncated = rc == UDP_OK && m_socket.last_truncated();
    info->from_address = from.sin_addr.s_addr;
    info->from_port = ntohs(from.sin_port);
    return CHANNEL_OK;
}

int64_t udp_channel::now_ms() {
    return monotonic_ms();
}

size_t text_length(const char* data, size_t length) {
    const void* nul = std::memchr(data, '\0', length);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : length;
}

void printable_text(const char* data, size_t length, char* out, size_t out_size) {
    if (out_size == 0) return;
    const size_t n = std::min(text_length(data, length), out_size - 1);
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        out[i] = c < 0x20 || c >= 0x7f ? '.' : static_cast<char>(c);
    }
    out[n] = '\0';
}

}  // namespace voxline
