// NAT answers come from the network. Input: the whole of it is read as one
// answer; then it is cut into datagrams, each [kind+delay byte][length][bytes],
// kind 0 from the service, 1 another address, 2 another port, 3 a read error,
// and played to a query, which must decide soundly and end in time.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../quiet_home.h"
#include "nat/nat_answer.h"
#include "nat/nat_query.h"
#include "support/scripted_channel.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_quiet_home("nat_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace voxline;
    const char* text = reinterpret_cast<const char*>(data);
    const nat_answer whole = read_nat_answer(text, size);
    if (whole.tokens_read < 0 || whole.tokens_read > 2) abort();
    if (std::strlen(whole.ip) > NAT_IP_MAX) abort();
    uint32_t address = 0;
    if (whole.valid && (whole.port < 1 || whole.port > 65535 || whole.tokens_read != 2 ||
                        !dotted_to_address(whole.ip, &address)))
        abort();

    test::scripted_channel peer;
    int64_t at = 0;
    size_t datagrams = 0;
    for (size_t i = 0; i + 2 <= size; ++datagrams) {
        const uint8_t kind = data[i] & 3;
        at += (data[i] >> 2) * 10;
        const size_t length = std::min<size_t>(data[i + 1], size - i - 2);
        std::string bytes(text + i + 2, length);
        i += 2 + length;
        const char* from = kind == 1 ? "10.0.0.9" : "10.0.0.1";
        const uint16_t port = kind == 2 ? 2830 : 2829;
        peer.arrivals.push_back({at, from, port, std::move(bytes), kind == 3 ? 104 : 0});
    }
    const nat_query_result r = nat_query(peer, "10.0.0.1", 2829, "10.1.1.5", 3400);
    // Past the eight counted attempts, only datagrams that use none buy another.
    if (peer.now > 1800 || peer.sent.size() > 9 + datagrams) abort();
    if (r.no_answer) {
        if (r.behind_nat || r.mapped_port != -1 || r.mapped_ip[0]) abort();
    } else {
        if (r.mapped_port < 1 || r.mapped_port > 65535) abort();
        if (!dotted_to_address(r.mapped_ip, &address)) abort();
        const bool local = std::strcmp(r.mapped_ip, "10.1.1.5") == 0 && r.mapped_port == 3400;
        if (r.behind_nat == local) abort();
    }
    return 0;
}
