// Carries MGCP messages between the endpoint and the call agent: numbers
// transactions, keeps sent commands until answered and retransmits them with
// an adaptive timeout, and answers repeated commands from a response cache.
// Driven by the call thread only; nothing here locks.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>

#include "mgcp/mgcp_message.h"
#include "util/rate_limit.h"

namespace voxline {

class udp_socket;

// Monotonic milliseconds; tests substitute a fake.
using mgcp_clock = int64_t (*)();

constexpr int MGCP_TIMEOUT_MIN_MS = 256;
constexpr int MGCP_TIMEOUT_MAX_MS = 4096;
constexpr uint32_t MGCP_MAX_TRANSMISSIONS = 10;
constexpr int64_t MGCP_RESPONSE_CACHE_MS = 6000;
// Responses kept at most, so a flood of commands cannot grow the cache
// without bound; far above what one call agent sends within 6 s.
constexpr size_t MGCP_RESPONSE_CACHE_LIMIT = 256;
// A dropped datagram is reported once per sender in this window, so a flood
// cannot fill the log.
constexpr int64_t MGCP_DROP_REPORT_WINDOW_MS = 10000;

enum mgcp_transport_result : int {
    MGCP_TRANSPORT_OK = 0,
    MGCP_TRANSPORT_FAILED = -1,
    MGCP_TRANSPORT_NO_SOCKET = -300,
    MGCP_TRANSPORT_BIND_FAILED = -303,
    MGCP_TRANSPORT_ENCODE_FAILED = -500,
};

class mgcp_transport {
  public:
    explicit mgcp_transport(mgcp_clock clock);
    ~mgcp_transport();
    mgcp_transport(const mgcp_transport&) = delete;
    mgcp_transport& operator=(const mgcp_transport&) = delete;

    // Opens the transmitter towards the call agent (address in network
    // order). It shares receiver when given, else opens its own socket.
    int open(uint32_t call_agent_address, uint16_t call_agent_port,
             std::shared_ptr<udp_socket> receiver);
    void close();
    bool is_open() const { return m_open; }

    uint32_t next_transaction_id();

    // Send-and-track: assigns a transaction id to a command without one,
    // encodes, transmits and keeps the record (commands until answered,
    // responses for the repeat cache). Returns 0 once the record is kept (a
    // failed first transmission is logged and left to the retransmissions),
    // < 0 when it was refused.
    int send(std::unique_ptr<mgcp_message> message);
    // Encodes and transmits without keeping the record (keep-alive); the
    // bytes sent or < 0.
    int send_once(mgcp_message& message);

    // What one received datagram turned out to be.
    struct received {
        int status = -1;                        // 0 when the text parsed, -1 when dropped
        std::unique_ptr<mgcp_message> command;  // a new command to answer
        // A response and the command it completes.
        std::unique_ptr<mgcp_message> response;
        std::unique_ptr<mgcp_message> answered_command;
    };
    // Only the call agent's address (the one commands go to) is heard;
    // anything else, and anything longer than MGCP_TEXT_SIZE, is dropped
    // unanswered.
    received receive(const char* data, size_t length, const sockaddr_in& sender);

    // Retransmission pass; each command given up after its tenth
    // transmission goes to abandoned.
    void tick(const std::function<void(std::unique_ptr<mgcp_message>)>& abandoned);
    // Milliseconds until the next retransmission is due (0 when overdue),
    // -1 when nothing is pending.
    int64_t ms_until_next_retransmission() const;

    int timeout_ms() const { return static_cast<int>(m_timeout); }
    int64_t smoothed_round_trip_x8() const { return m_smoothed; }
    int64_t deviation_x4() const { return m_deviation; }
    size_t pending_count() const { return m_pending.size(); }
    size_t cached_response_count() const { return m_responses.size(); }
    const std::shared_ptr<udp_socket>& socket() const { return m_socket; }

  private:
    int transmit(mgcp_message& message);
    void feed_round_trip(int64_t sample);
    void back_off();
    void clamp_timeout();
    void expire_responses(int64_t now);
    bool from_call_agent(const sockaddr_in& sender) const;

    mgcp_clock m_clock;
    bool m_open = false;
    std::shared_ptr<udp_socket> m_socket;
    sockaddr_in m_destination{};
    uint32_t m_transaction_counter = 0;
    std::list<std::unique_ptr<mgcp_message>> m_pending;    // oldest send first
    std::list<std::unique_ptr<mgcp_message>> m_responses;  // oldest first
    int64_t m_smoothed = 0;                                // round trip x8
    int64_t m_deviation = 0;                               // x4
    int64_t m_timeout = MGCP_TIMEOUT_MIN_MS;
    uint32_t m_retransmissions = 0;
    rate_limit m_unexpected_reports{MGCP_DROP_REPORT_WINDOW_MS, m_clock};
    rate_limit m_oversize_reports{MGCP_DROP_REPORT_WINDOW_MS, m_clock};
};

// The text as it may be logged: the PIN of Tarn/acct and Tarn/eacct is
// replaced by "****".
void mask_secrets_for_log(const char* text, char* out, size_t out_size);

}  // namespace voxline
