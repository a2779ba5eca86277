// Default gateways from the kernel's IPv4 route table (/proc/net/route text).
// Plain C++ (no Qt) so the fuzz build can compile it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

struct default_route {
    std::string interface_name;
    std::string gateway;  // dotted IPv4
    unsigned metric = 0;
};

// One entry per interface that has an active default route through a gateway
// (the lowest metric when there are several); malformed lines are skipped.
std::vector<default_route> read_default_routes(std::string_view route_text);

// The gateway of an interface, or empty.
std::string gateway_of(const std::vector<default_route>& routes, std::string_view interface_name);

}  // namespace kestrel
