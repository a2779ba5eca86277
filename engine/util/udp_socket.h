// UDP socket object shared by MGCP, NAT discovery, the media relay and RTP.
// Every operation records the system error number and a short text naming
// what failed, and returns one of the codes below; none of them logs.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

namespace voxline {

enum udp_result : int {
    UDP_OK = 0,
    UDP_TIMEOUT = 2,
    UDP_SOCKET_FAILED = 3,
    UDP_BIND_FAILED = 4,
    UDP_RCVBUF_FAILED = 5,
    UDP_TOS_FAILED = 6,
    UDP_SEND_FAILED = 8,
    UDP_WAIT_FAILED = 9,
    UDP_RECEIVE_FAILED = 10,
    UDP_NOTHING_TO_READ = 91,
    UDP_EMPTY_DATAGRAM = -1,
};

class udp_socket {
  public:
    udp_socket();
    // An invalid dotted text prints "\n\nInvalid IP address!\n\n" and leaves the address invalid.
    udp_socket(const char* address, uint16_t port);
    ~udp_socket();
    udp_socket(const udp_socket&) = delete;
    udp_socket& operator=(const udp_socket&) = delete;

    // 0, or -1 for an invalid text; the address then stays invalid until set
    // again, and binding to it fails.
    int set_address(const char* dotted, uint16_t port);
    const sockaddr_in& address() const { return m_address; }

    int listen_socket(int receive_buffer_size);
    int listen_socket(int receive_buffer_size, uint8_t type_of_service);
    void close();
    bool is_open() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // destination nullptr sends to the stored address.
    int write_socket_block(const void* data, size_t length, const sockaddr_in* destination);

    // length: in the buffer size, out the datagram size (0 on any failure).
    int read_socket_timeout(void* buffer, int* length, sockaddr_in* sender, int seconds,
                            int milliseconds);
    int read_socket_timeout_us(void* buffer, int* length, sockaddr_in* sender,
                               int64_t microseconds);
    int nread_socket_nonblock(void* buffer, int* length, sockaddr_in* sender);

    // The last datagram received was larger than the buffer and was cut to it.
    bool last_truncated() const { return m_truncated; }

    int last_error() const { return m_last_error; }
    const char* error_text() const { return m_error_text; }

  private:
    int fail(int code, const char* text);
    int receive(void* buffer, int* length, sockaddr_in* sender, const char* failure_text);

    int m_fd = -1;
    sockaddr_in m_address{};
    bool m_address_valid = true;  // until a text cannot be read
    int m_last_error = 0;
    bool m_truncated = false;
    const char* m_error_text = "no error information available.";
};

// "%u.%u.%u.%u" from the four bytes in network order; out must hold 16 bytes.
const char* address_to_dotted(uint32_t network_order_address, char* out, size_t out_size);

// Four decimal numbers separated by "."; host names are not resolved.
// Returns false for anything else. The result is in network byte order.
bool dotted_to_address(const char* text, uint32_t* network_order_address);

}  // namespace voxline
