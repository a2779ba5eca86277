#include "nat/nat_query.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

constexpr int ATTEMPTS = 8;
constexpr int64_t SENDING_WINDOW_MS = 1600;
constexpr int READS_PER_ATTEMPT = 50;
constexpr int64_t READ_WAIT_MS = 200;
// The whole query, so a trickle of datagrams cannot hold the caller.
constexpr int64_t QUERY_BOUND_MS = SENDING_WINDOW_MS + READ_WAIT_MS;
constexpr size_t READ_BUFFER = 512;
constexpr size_t LOGGED_TEXT = 128;

enum class read_outcome { attempt_over, attempt_free, answered, query_over };

struct query_state {
    datagram_channel& channel;
    uint32_t service_address;
    uint16_t service_port;
    const char* local_ip;
    int local_port;
    int64_t start;
    nat_query_result result;
};

// One datagram against the rules; true when it decided the query.
bool take_datagram(query_state& q, const char* data, const datagram_info& info, bool* free) {
    if (info.from_address != q.service_address || info.from_port != q.service_port) {
        char from[16];
        VXL_LOG(LOG_INFO, "NAT response from unexpected sender %s:%d ignored",
                address_to_dotted(info.from_address, from, sizeof from), info.from_port);
        *free = true;
        return false;
    }
    char shown[LOGGED_TEXT + 1];
    printable_text(data, info.length, shown, sizeof shown);
    VXL_LOG(LOG_ALWAYS, "NAT response=[%s]", shown);
    if (info.truncated || text_length(data, info.length) > NAT_ANSWER_MAX) {
        VXL_LOG(LOG_INFO, "Received unterminated NAT response");
        return false;
    }
    const nat_answer answer = read_nat_answer(data, info.length);
    if (!answer.valid) {
        VXL_LOG(LOG_INFO,
                "Unexpected NAT response with invalid IP information (tokens_read=%d) ignored "
                "(possibly RTP)",
                answer.tokens_read);
        *free = true;
        return false;
    }
    nat_query_result& r = q.result;
    std::memcpy(r.mapped_ip, answer.ip, sizeof r.mapped_ip);
    r.mapped_port = answer.port;
    r.behind_nat = !(std::strcmp(answer.ip, q.local_ip) == 0 && answer.port == q.local_port);
    VXL_LOG(LOG_ALWAYS, "NAT info %s:%d (%sbehind a NAT)", r.mapped_ip, r.mapped_port,
            r.behind_nat ? "" : "not ");
    return true;
}

read_outcome read_answers(query_state& q) {
    char buffer[READ_BUFFER];
    bool free = false;
    for (int read = 0; read < READS_PER_ATTEMPT; ++read) {
        const int64_t left = q.start + QUERY_BOUND_MS - q.channel.now_ms();
        if (left <= 0 || q.channel.stop_requested()) return read_outcome::query_over;
        datagram_info info;
        int error = 0;
        const int rc =
            q.channel.receive(buffer, sizeof buffer, &info, std::min(READ_WAIT_MS, left), &error);
        if (rc == CHANNEL_TIMEOUT) break;
        if (rc != CHANNEL_OK) {
            VXL_LOG(LOG_ERROR, "Read NAT response failed, error=%d", error);
            break;
        }
        if (take_datagram(q, buffer, info, &free)) return read_outcome::answered;
    }
    return free ? read_outcome::attempt_free : read_outcome::attempt_over;
}

}  // namespace

nat_query_result nat_query(datagram_channel& channel, const char* service_ip, int service_port,
                           const char* local_ip, int local_port) {
    query_state q{channel, 0, 0, local_ip ? local_ip : "", local_port, channel.now_ms(), {}};
    const bool service_ok = dotted_to_address(service_ip, &q.service_address) &&
                            service_port >= 1 && service_port <= 65535;
    if (!service_ok) {
        VXL_LOG(LOG_ERROR, "Invalid NAT service address %s:%d", service_ip ? service_ip : "",
                service_port);
    } else {
        q.service_port = static_cast<uint16_t>(service_port);
        int attempt = 0;
        while (attempt < ATTEMPTS && channel.now_ms() - q.start <= SENDING_WINDOW_MS &&
               !channel.stop_requested()) {
            VXL_LOG(LOG_ALWAYS, "Sending NAT request to %s:%d", service_ip, service_port);
            channel.send(NAT_REQUEST, NAT_REQUEST_SIZE, q.service_address, q.service_port);
            const read_outcome outcome = read_answers(q);
            if (outcome == read_outcome::answered) return q.result;
            if (outcome == read_outcome::query_over) break;
            if (outcome == read_outcome::attempt_over) ++attempt;
        }
    }
    VXL_LOG(LOG_ERROR,
            "Did not receive any valid NAT responses.  Assuming we are not behind a NAT.");
    q.result.no_answer = true;
    q.result.behind_nat = false;
    return q.result;
}

}  // namespace voxline
