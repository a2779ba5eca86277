#include "util/local_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

bool is_loopback(uint32_t network_order) {
    return (ntohl(network_order) >> 24) == 127;
}

// Debian maps the host name to 127.0.1.1, which no peer can reach.
bool address_from_host_name(uint32_t* out) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0) return false;
    bool found = false;
    for (addrinfo* a = list; a && !found; a = a->ai_next) {
        uint32_t address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        if (!is_loopback(address)) {
            *out = address;
            found = true;
        }
    }
    freeaddrinfo(list);
    return found;
}

// Connecting a UDP socket only selects a route; nothing goes on the wire.
bool address_from_route(uint32_t* out) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in far{};
    far.sin_family = AF_INET;
    far.sin_port = htons(7);
    dotted_to_address("128.127.50.1", &far.sin_addr.s_addr);
    bool ok = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&far), sizeof far) == 0) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            *out = local.sin_addr.s_addr;
            ok = true;
        }
    }
    close(fd);
    return ok;
}

}  // namespace

void detect_local_address(char* out) {
    process_local_ip(out);
    if (out[0] != '\0') return;
    uint32_t address = 0;
    if (!address_from_host_name(&address) && !address_from_route(&address)) {
        strcpy(out, "0.0.0.0");
        return;
    }
    address_to_dotted(address, out, LOCAL_IP_MAX + 1);
    set_process_local_ip(out);
    VXL_LOG(LOG_ALWAYS, "Local IP address set to [%s]", out);
}

}  // namespace voxline
