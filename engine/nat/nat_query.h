// Asks the NAT information service which address it sees us at.
#pragma once

#include <atomic>

#include "nat/datagram_channel.h"
#include "nat/nat_answer.h"

namespace voxline {

struct nat_query_result {
    char mapped_ip[NAT_IP_MAX + 1] = {};  // empty until a good answer
    int mapped_port = -1;
    bool no_answer = false;  // no good answer came: counted as not behind a NAT
    bool behind_nat = false;
};

// Sends the request up to 8 times in the first 1600 ms and reads the answers;
// the first good one from the service's own address and port decides. Returns
// within 1800 ms of its start whatever arrives. local_ip and local_port are
// those of the channel's socket.
nat_query_result nat_query(datagram_channel& channel, const char* service_ip, int service_port,
                           const char* local_ip, int local_port);

// The test after logon: the override file (when it exists, no request is
// sent), else a query from local port 3400 on local_ip. Returns the new
// behind-NAT flag; when port 3400 cannot be opened, `current` unchanged.
bool nat_logon_test(const char* override_path, const char* local_ip, const char* service_ip,
                    int service_port, bool current, const std::atomic<bool>* stop = nullptr);

}  // namespace voxline
