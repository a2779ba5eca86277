// The socket and the clock of a request/answer exchange, behind one seam so
// tests can script the peer and the passing of time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace voxline {

class udp_socket;

struct datagram_info {
    size_t length = 0;          // bytes in the buffer
    bool truncated = false;     // larger than the buffer; the rest is lost
    uint32_t from_address = 0;  // network byte order
    uint16_t from_port = 0;     // host byte order
};

enum channel_result : int {
    CHANNEL_OK = 0,
    CHANNEL_TIMEOUT = 1,
    CHANNEL_ERROR = 2,
};

class datagram_channel {
  public:
    virtual ~datagram_channel() = default;
    // 0, or the system error number.
    virtual int send(const void* data, size_t length, uint32_t address, uint16_t port) = 0;
    // Waits at most timeout_ms for one datagram; on CHANNEL_ERROR *error holds the error number.
    virtual int receive(char* buffer, size_t capacity, datagram_info* info, int64_t timeout_ms,
                        int* error) = 0;
    virtual int64_t now_ms() = 0;
    // Set when the owner of the exchange is closing; waits end early.
    virtual bool stop_requested() { return false; }
};

// The real thing: a bound udp_socket and the monotonic clock.
class udp_channel final : public datagram_channel {
  public:
    explicit udp_channel(udp_socket& socket, const std::atomic<bool>* stop = nullptr)
        : m_socket(socket), m_stop(stop) {}
    int send(const void* data, size_t length, uint32_t address, uint16_t port) override;
    int receive(char* buffer, size_t capacity, datagram_info* info, int64_t timeout_ms,
                int* error) override;
    int64_t now_ms() override;
    bool stop_requested() override { return m_stop && m_stop->load(); }

  private:
    udp_socket& m_socket;
    const std::atomic<bool>* m_stop;
};

// Text of a datagram for a log line: up to its length or first NUL, at most
// out_size - 1 characters, control and non-ASCII bytes as '.' so no line can be forged.
void printable_text(const char* data, size_t length, char* out, size_t out_size);

// The text's length: up to the datagram's length or its first NUL.
size_t text_length(const char* data, size_t length);

}  // namespace voxline
