// What adapter detection reads from the system, behind a seam that tests feed.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct interface_info {
    std::string name;
    std::string type;  // "Ethernet", "PPP", "Wi-Fi" or "Other"
    bool up = false;
    bool running = false;
    bool loopback = false;
    std::vector<std::string> ipv4;  // dotted
};

struct network_snapshot {
    std::vector<interface_info> interfaces;
    std::string route_text;  // /proc/net/route
    std::string os_name;     // "sysname release"
};

class interface_source {
  public:
    virtual ~interface_source() = default;
    virtual network_snapshot snapshot() = 0;
};

// QNetworkInterface, /proc/net/route and uname.
class system_interface_source : public interface_source {
  public:
    network_snapshot snapshot() override;
};

}  // namespace kestrel
