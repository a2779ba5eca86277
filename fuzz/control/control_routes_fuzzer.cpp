// The route table is read from the kernel; a reader that trusts its layout
// could be led astray by an odd line. Input: the table's text.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "network/route_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& route : kestrel::read_default_routes(text)) {
        in_addr address{};
        if (route.interface_name.empty() ||
            inet_pton(AF_INET, route.gateway.c_str(), &address) != 1)
            abort();
        if (kestrel::gateway_of(kestrel::read_default_routes(text), route.interface_name).empty())
            abort();
    }
    return 0;
}
