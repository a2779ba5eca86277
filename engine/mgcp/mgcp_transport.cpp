#include "mgcp/mgcp_transport.h"

#include <arpa/inet.h>
#include <errno.h>
#include <sys/socket.h>

#include <cstring>
#include <string_view>

#include "mgcp/mgcp_codec.h"
#include "mgcp/mgcp_text.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

// Doubling on every retransmitting pass must not overflow; anything above
// this already gives the longest timeout.
constexpr int64_t SMOOTHED_LIMIT = 8 * MGCP_TIMEOUT_MAX_MS * 2;

void log_datagram(const char* direction, const sockaddr_in& peer, const char* text) {
    const auto* b = reinterpret_cast<const unsigned char*>(&peer.sin_addr.s_addr);
    char shown[MGCP_TEXT_SIZE + 16];
    mask_secrets_for_log(text, shown, sizeof shown);
    VXL_LOG(LOG_ALWAYS, "%s[%d.%d.%d.%d:%d]: %s", direction, b[0], b[1], b[2], b[3],
            ntohs(peer.sin_port), shown);
}

uint64_t sender_key(const sockaddr_in& sender) {
    return (static_cast<uint64_t>(sender.sin_addr.s_addr) << 16) | sender.sin_port;
}

}  // namespace

void mask_secrets_for_log(const char* text, char* out, size_t out_size) {
    mgcp_text_writer w(out, out_size);
    std::string_view rest(text);
    for (;;) {
        size_t at = std::string_view::npos;
        size_t key_length = 0;
        for (std::string_view key : {"Tarn/acct(", "Tarn/eacct("}) {
            size_t found = rest.find(key);
            if (found < at) {
                at = found;
                key_length = key.size();
            }
        }
        if (at == std::string_view::npos) break;
        size_t comma = rest.find(',', at + key_length);
        size_t close = rest.find(')', at + key_length);
        if (comma == std::string_view::npos || close == std::string_view::npos || comma > close) {
            w.append(rest.substr(0, at + key_length));
            rest.remove_prefix(at + key_length);
            continue;
        }
        w.append(rest.substr(0, comma + 1));
        w.append("****");
        rest.remove_prefix(close);
    }
    w.append(rest);
}

mgcp_transport::mgcp_transport(mgcp_clock clock) : m_clock(clock) {}

mgcp_transport::~mgcp_transport() {
    close();
}

int mgcp_transport::open(uint32_t call_agent_address, uint16_t call_agent_port,
                         std::shared_ptr<udp_socket> receiver) {
    close();
    if (receiver && receiver->is_open()) {
        m_socket = std::move(receiver);
    } else {
        auto own = std::make_shared<udp_socket>("0.0.0.0", 0);
        int rc = own->listen_socket(0);
        if (rc == UDP_SOCKET_FAILED) return MGCP_TRANSPORT_NO_SOCKET;
        if (rc != UDP_OK) return MGCP_TRANSPORT_BIND_FAILED;
        m_socket = std::move(own);
    }
    m_destination = sockaddr_in{};
    m_destination.sin_family = AF_INET;
    m_destination.sin_addr.s_addr = call_agent_address;
    m_destination.sin_port = htons(call_agent_port);
    m_transaction_counter =
        static_cast<uint32_t>(static_cast<uint64_t>(m_clock()) % MGCP_MAX_TRANSACTION_ID);
    m_timeout = MGCP_TIMEOUT_MIN_MS;
    m_smoothed = 256;
    m_deviation = 0;
    m_retransmissions = 0;
    m_open = true;
    return MGCP_TRANSPORT_OK;
}

void mgcp_transport::close() {
    m_pending.clear();
    m_responses.clear();
    m_socket.reset();  // the last holder closes it
    m_open = false;
}

uint32_t mgcp_transport::next_transaction_id() {
    if (m_transaction_counter > MGCP_MAX_TRANSACTION_ID - 1) m_transaction_counter = 0;
    return ++m_transaction_counter;
}

int mgcp_transport::transmit(mgcp_message& message) {
    log_datagram("Tx", m_destination, message.text);
    size_t length = static_cast<size_t>(message.text_length) + 1;  // with its NUL
    if (m_destination.sin_addr.s_addr == 0) return static_cast<int>(length);
    if (!m_open) {
        VXL_LOG(LOG_ERROR, "Tx failure (no transmitter)");
        return MGCP_TRANSPORT_FAILED;
    }
    if (!m_socket || !m_socket->is_open()) {
        VXL_LOG(LOG_ERROR, "Tx failure (no transmitter socket)");
        return MGCP_TRANSPORT_NO_SOCKET;
    }
    ssize_t sent = sendto(m_socket->fd(), message.text, length, MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&m_destination), sizeof m_destination);
    if (sent < 0 || static_cast<size_t>(sent) != length) {
        VXL_LOG(LOG_ERROR, "Tx failure (count=%d, length=%d, error=%d)", static_cast<int>(sent),
                static_cast<int>(length), errno);
        return MGCP_TRANSPORT_FAILED;
    }
    return static_cast<int>(sent);
}

int mgcp_transport::send_once(mgcp_message& message) {
    if (message.text_length == 0 && !encode_message(message)) {
        VXL_LOG(LOG_ERROR, "MGCP message does not fit the %d-byte buffer; not sent",
                MGCP_TEXT_SIZE);
        return MGCP_TRANSPORT_ENCODE_FAILED;
    }
    message.last_send_time = m_clock();
    ++message.send_count;
    return transmit(message);
}

int mgcp_transport::send(std::unique_ptr<mgcp_message> message) {
    if (!m_open) {
        VXL_LOG(LOG_ERROR, "Tx failure (no transmitter)");
        return MGCP_TRANSPORT_FAILED;
    }
    bool is_command = message->kind != MGCP_RESPONSE;
    if (is_command && message->transaction_id == 0) message->transaction_id = next_transaction_id();
    int rc = send_once(*message);
    if (rc == MGCP_TRANSPORT_ENCODE_FAILED) return rc;
    // A command whose first transmission failed still waits for its
    // retransmissions; the socket may recover.
    if (is_command) {
        m_pending.push_back(std::move(message));
    } else {
        if (m_responses.size() >= MGCP_RESPONSE_CACHE_LIMIT) m_responses.pop_front();
        m_responses.push_back(std::move(message));
    }
    return MGCP_TRANSPORT_OK;
}

void mgcp_transport::expire_responses(int64_t now) {
    while (!m_responses.empty() &&
           now - m_responses.front()->last_send_time > MGCP_RESPONSE_CACHE_MS)
        m_responses.pop_front();
}

bool mgcp_transport::from_call_agent(const sockaddr_in& sender) const {
    return sender.sin_addr.s_addr == m_destination.sin_addr.s_addr &&
           sender.sin_port == m_destination.sin_port;
}

mgcp_transport::received mgcp_transport::receive(const char* data, size_t length,
                                                 const sockaddr_in& sender) {
    received result;
    int held_back = 0;
    char more[32];
    // Any host that reaches the port could otherwise ring the phone, end the
    // call or redirect its audio.
    if (!from_call_agent(sender)) {
        if (m_unexpected_reports.admit(sender_key(sender), &held_back)) {
            char dotted[16];
            address_to_dotted(sender.sin_addr.s_addr, dotted, sizeof dotted);
            VXL_LOG(LOG_INFO, "MGCP datagram from unexpected sender %s:%d dropped%s", dotted,
                    ntohs(sender.sin_port), more_since_text(held_back, more, sizeof more));
        }
        return result;
    }
    if (length > MGCP_TEXT_SIZE) {
        if (m_oversize_reports.admit(sender_key(sender), &held_back))
            VXL_LOG(LOG_INFO, "Rx datagram longer than %d bytes dropped%s", MGCP_TEXT_SIZE,
                    more_since_text(held_back, more, sizeof more));
        return result;
    }
    char text[MGCP_TEXT_SIZE + 1];
    size_t n = length < MGCP_TEXT_SIZE ? length : MGCP_TEXT_SIZE;
    memcpy(text, data, n);
    text[n] = '\0';
    log_datagram("Rx", sender, text);
    if (!m_open) return result;
    std::unique_ptr<mgcp_message> message = parse_message(data, length);
    if (!message) return result;
    result.status = 0;
    int64_t now = m_clock();

    if (message->kind != MGCP_RESPONSE) {
        expire_responses(now);
        for (auto& cached : m_responses) {
            if (cached->transaction_id == message->transaction_id) {
                transmit(*cached);
                return result;
            }
        }
        result.command = std::move(message);
        return result;
    }

    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if ((*it)->transaction_id != message->transaction_id) continue;
        result.answered_command = std::move(*it);
        m_pending.erase(it);
        // Only an unambiguous sample: a retransmitted command's answer may
        // belong to any of its transmissions.
        if (result.answered_command->send_count == 1)
            feed_round_trip(now - result.answered_command->last_send_time);
        result.response = std::move(message);
        break;
    }
    return result;
}

void mgcp_transport::clamp_timeout() {
    if (m_timeout < MGCP_TIMEOUT_MIN_MS) m_timeout = MGCP_TIMEOUT_MIN_MS;
    if (m_timeout > MGCP_TIMEOUT_MAX_MS) m_timeout = MGCP_TIMEOUT_MAX_MS;
}

void mgcp_transport::feed_round_trip(int64_t sample) {
    if (sample < 0) sample = 0;
    if (m_smoothed == 0) m_smoothed = 8 * sample;
    int64_t error = sample - m_smoothed / 8;
    m_smoothed += error;
    if (m_smoothed > SMOOTHED_LIMIT) m_smoothed = SMOOTHED_LIMIT;
    m_deviation = m_deviation - m_deviation / 4 + (error < 0 ? -error : error);
    if (m_deviation > SMOOTHED_LIMIT) m_deviation = SMOOTHED_LIMIT;
    m_timeout = m_smoothed / 8 + m_deviation;
    clamp_timeout();
}

void mgcp_transport::back_off() {
    m_smoothed = m_smoothed <= 0 ? 256 : m_smoothed * 2;
    if (m_smoothed > SMOOTHED_LIMIT) m_smoothed = SMOOTHED_LIMIT;
    int64_t half = m_smoothed / 2;
    auto tick = static_cast<uint32_t>(m_clock());
    m_timeout =
        half + m_deviation + static_cast<int64_t>(tick & static_cast<uint32_t>(m_smoothed - half));
    clamp_timeout();
}

void mgcp_transport::tick(const std::function<void(std::unique_ptr<mgcp_message>)>& abandoned) {
    int64_t now = m_clock();
    bool retransmitted = false;
    // Each command sent again moves to the tail with a fresh stamp, so the
    // walk stops once it reaches one of them.
    while (!m_pending.empty() && now - m_pending.front()->last_send_time >= m_timeout) {
        std::unique_ptr<mgcp_message> message = std::move(m_pending.front());
        m_pending.pop_front();
        transmit(*message);
        ++message->send_count;
        ++m_retransmissions;
        retransmitted = true;
        if (message->send_count >= MGCP_MAX_TRANSMISSIONS) {
            abandoned(std::move(message));
            continue;
        }
        message->last_send_time = now;
        m_pending.push_back(std::move(message));
    }
    if (retransmitted) back_off();
}

int64_t mgcp_transport::ms_until_next_retransmission() const {
    if (m_pending.empty()) return -1;
    int64_t due = m_pending.front()->last_send_time + m_timeout - m_clock();
    return due > 0 ? due : 0;
}

}  // namespace voxline
