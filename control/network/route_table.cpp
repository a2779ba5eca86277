#include "network/route_table.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>

namespace kestrel {

namespace {

constexpr unsigned RTF_UP_FLAG = 0x1;
constexpr unsigned RTF_GATEWAY_FLAG = 0x2;

std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool hex_value(std::string_view text, uint32_t& out) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (char c : text) {
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            return false;
        v = (v << 4) | d;
    }
    out = v;
    return true;
}

bool decimal_value(std::string_view text, unsigned& out) {
    if (text.empty() || text.size() > 9) return false;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    out = v;
    return true;
}

}  // namespace

std::vector<default_route> read_default_routes(std::string_view route_text) {
    std::vector<default_route> routes;
    size_t start = 0;
    bool header = true;
    while (start < route_text.size()) {
        size_t end = route_text.find('\n', start);
        if (end == std::string_view::npos) end = route_text.size();
        const std::string_view line = route_text.substr(start, end - start);
        start = end + 1;
        if (header) {  // "Iface Destination Gateway Flags RefCnt Use Metric Mask ..."
            header = false;
            continue;
        }
        const auto f = fields_of(line);
        if (f.size() < 8) continue;
        uint32_t destination, gateway, flags, mask;
        unsigned metric;
        if (!hex_value(f[1], destination) || !hex_value(f[2], gateway) || !hex_value(f[3], flags) ||
            !decimal_value(f[6], metric) || !hex_value(f[7], mask))
            continue;
        if (destination != 0 || mask != 0 || gateway == 0) continue;
        if ((flags & (RTF_UP_FLAG | RTF_GATEWAY_FLAG)) != (RTF_UP_FLAG | RTF_GATEWAY_FLAG))
            continue;

        // The kernel prints the address as a host-order number of the
        // network-order bytes, so the bytes in memory are the address.
        in_addr address{};
        std::memcpy(&address, &gateway, sizeof gateway);
        char dotted[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &address, dotted, sizeof dotted)) continue;

        default_route route{std::string(f[0]), dotted, metric};
        bool replaced = false;
        for (auto& known : routes) {
            if (known.interface_name == route.interface_name) {
                if (route.metric < known.metric) known = route;
                replaced = true;
            }
        }
        if (!replaced) routes.push_back(std::move(route));
    }
    return routes;
}

std::string gateway_of(const std::vector<default_route>& routes, std::string_view interface_name) {
    for (const auto& r : routes)
        if (r.interface_name == interface_name) return r.gateway;
    return {};
}

}  // namespace kestrel
