#include <cstdio>

#include "nat/nat_query.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

constexpr int NAT_PORT_FIRST = 3400;
constexpr int NAT_PORT_LAST = 3400;
constexpr int NAT_PORT_STEP = 2;

bool file_opens(const char* path) {
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return false;
    std::fclose(file);
    return true;
}

}  // namespace

bool nat_logon_test(const char* override_path, const char* local_ip, const char* service_ip,
                    int service_port, bool current, const std::atomic<bool>* stop) {
    if (file_opens(override_path)) {
        VXL_LOG(LOG_ALWAYS, "Overriding NAT test.  Pretending we are behind a NAT.");
        return true;
    }
    udp_socket socket;
    int port = NAT_PORT_FIRST;
    for (; port <= NAT_PORT_LAST; port += NAT_PORT_STEP) {
        socket.close();
        int rc = socket.set_address(local_ip, static_cast<uint16_t>(port));
        if (rc == 0) rc = socket.listen_socket(0);
        if (rc == UDP_OK) break;
        VXL_LOG(LOG_ERROR, "Open local NAT port to %s:%d failed (rc=%d, socket_error=%d).",
                local_ip, port, rc, socket.last_error());
    }
    if (port > NAT_PORT_LAST) {
        socket.close();
        VXL_LOG(LOG_ERROR, "Unable to find suitable local NAT port (searched %d..%d)",
                NAT_PORT_FIRST, NAT_PORT_LAST);
        return current;
    }
    VXL_LOG(LOG_ALWAYS, "Opened local NAT port %s:%d", local_ip, port);
    udp_channel channel(socket, stop);
    const nat_query_result result = nat_query(channel, service_ip, service_port, local_ip, port);
    socket.close();
    return result.behind_nat;
}

}  // namespace voxline
