#include "util/udp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace voxline {

udp_socket::udp_socket() {
    m_address.sin_family = AF_INET;
}

udp_socket::udp_socket(const char* address, uint16_t port) : udp_socket() {
    if (set_address(address, port) != 0) printf("\n\nInvalid IP address!\n\n");
}

udp_socket::~udp_socket() {
    close();
}

int udp_socket::set_address(const char* dotted, uint16_t port) {
    uint32_t address = 0;
    if (!dotted_to_address(dotted, &address)) {
        // INADDR_NONE alone would not do: Linux binds to 255.255.255.255.
        m_address.sin_addr.s_addr = INADDR_NONE;
        m_address_valid = false;
        return -1;
    }
    m_address.sin_family = AF_INET;
    m_address.sin_port = htons(port);
    m_address.sin_addr.s_addr = address;
    m_address_valid = true;
    return 0;
}

int udp_socket::fail(int code, const char* text) {
    m_last_error = errno;
    m_error_text = text;
    return code;
}

int udp_socket::listen_socket(int receive_buffer_size) {
    close();
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return fail(3, "socket in listen_socket");
    const bool bound = m_address_valid && bind(m_fd, reinterpret_cast<const sockaddr*>(&m_address),
                                               sizeof m_address) == 0;
    if (!bound) {
        if (!m_address_valid) errno = EADDRNOTAVAIL;
        int code = fail(4, "bind in listen_socket");
        ::close(m_fd);
        m_fd = -1;
        return code;
    }
    if (receive_buffer_size != 0 && setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer_size,
                                               sizeof receive_buffer_size) != 0) {
        return fail(5, "setsockopt in listen_socket");
    }
    // Linux only reports ICMP port-unreachable on connected UDP sockets, so an
    // unconnected socket needs nothing to keep such errors out of receives.
    return UDP_OK;
}

int udp_socket::listen_socket(int receive_buffer_size, uint8_t type_of_service) {
    int rc = listen_socket(receive_buffer_size);
    if (rc != UDP_OK) return rc;
    int tos = type_of_service;
    if (setsockopt(m_fd, IPPROTO_IP, IP_TOS, &tos, sizeof tos) != 0)
        return fail(6, "tos bit setsockopt in listen_socket");
    return UDP_OK;
}

void udp_socket::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int udp_socket::write_socket_block(const void* data, size_t length,
                                   const sockaddr_in* destination) {
    const sockaddr_in* to = destination ? destination : &m_address;
    ssize_t n =
        sendto(m_fd, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(to), sizeof *to);
    if (n < 0 || static_cast<size_t>(n) != length) return fail(8, "sendto in write_socket_block");
    return UDP_OK;
}

int udp_socket::receive(void* buffer, int* length, sockaddr_in* sender, const char* failure_text) {
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    const int capacity = *length;
    *length = 0;
    m_truncated = false;
    // MSG_TRUNC reports the real size, so a datagram larger than the buffer is noticed.
    ssize_t n =
        recvfrom(m_fd, buffer, static_cast<size_t>(capacity > 0 ? capacity : 0),
                 MSG_TRUNC | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return fail(UDP_NOTHING_TO_READ, failure_text);
        return fail(10, failure_text);
    }
    if (sender) *sender = from;
    if (n == 0) return UDP_EMPTY_DATAGRAM;
    m_truncated = n > capacity;
    *length = m_truncated ? capacity : static_cast<int>(n);
    return UDP_OK;
}

int udp_socket::read_socket_timeout_us(void* buffer, int* length, sockaddr_in* sender,
                                       int64_t microseconds) {
    pollfd pfd{m_fd, POLLIN, 0};
    timespec wait{static_cast<time_t>(microseconds / 1000000),
                  static_cast<long>(microseconds % 1000000) * 1000};
    int ready = ppoll(&pfd, 1, &wait, nullptr);
    if (ready < 0) {
        *length = 0;
        return fail(9, "select in read_socket_timeout");
    }
    if (ready == 0) {
        *length = 0;
        return UDP_TIMEOUT;
    }
    int rc = receive(buffer, length, sender, "recvfrom in nread_socket_timeout");
    return rc == UDP_NOTHING_TO_READ ? UDP_TIMEOUT : rc;
}

int udp_socket::read_socket_timeout(void* buffer, int* length, sockaddr_in* sender, int seconds,
                                    int milliseconds) {
    return read_socket_timeout_us(
        buffer, length, sender,
        static_cast<int64_t>(seconds) * 1000000 + static_cast<int64_t>(milliseconds) * 1000);
}

int udp_socket::nread_socket_nonblock(void* buffer, int* length, sockaddr_in* sender) {
    return receive(buffer, length, sender, "recvfrom in nread_socket_nonblock");
}

const char* address_to_dotted(uint32_t network_order_address, char* out, size_t out_size) {
    const auto* b = reinterpret_cast<const unsigned char*>(&network_order_address);
    snprintf(out, out_size, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return out;
}

bool dotted_to_address(const char* text, uint32_t* network_order_address) {
    if (!text) return false;
    unsigned char bytes[4];
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        if (*p < '0' || *p > '9') return false;
        unsigned value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<unsigned>(*p++ - '0');
            if (++digits > 3 || value > 255) return false;
        }
        bytes[i] = static_cast<unsigned char>(value);
        if (i < 3 && *p++ != '.') return false;
    }
    if (*p != '\0') return false;
    memcpy(network_order_address, bytes, 4);
    return true;
}

}  // namespace voxline
