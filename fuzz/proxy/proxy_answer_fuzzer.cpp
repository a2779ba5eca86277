// Relay answers come from the network. Input: [validator][sender][text...]:
// the text goes to the chosen validator as it is, then as datagrams (cut at
// 0xff bytes) to a whole transaction of that kind from the chosen sender.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../quiet_home.h"
#include "proxy/proxy_stack.h"
#include "support/scripted_channel.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_quiet_home("proxy_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace voxline;
    if (size < 2) return 0;
    const int which = data[0] % 3;
    const char* sender = data[1] & 1 ? "10.0.0.9" : "10.0.0.1";
    const uint16_t sender_port = data[1] & 2 ? 40000 : 2830;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string id = "fuzz_client";

    int port = -1;
    const proxy_verdict direct =
        which == 0   ? validate_alloc_answer(text.c_str(), id, "10.0.0.1", sender, &port)
        : which == 1 ? validate_probe_answer(text.c_str(), id, "10.0.0.1", sender)
                     : validate_dealloc_answer(text.c_str(), id, "10.0.0.1", sender);
    if (direct == proxy_verdict::granted && which == 0 && (port < 1 || port > 65535)) abort();
    if (direct == proxy_verdict::refused && which != 0) abort();
    if (direct != proxy_verdict::not_accepted && sender[7] == '9') abort();

    test::scripted_channel peer;
    int64_t at = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\xff', start);
        if (end == std::string::npos) end = text.size();
        peer.arrivals.push_back({at += 7, sender, sender_port, text.substr(start, end - start)});
        start = end + 1;
    }
    proxy_stack stack(peer, "fuzz client");
    char address[16] = {};
    int relay_port = -1;
    bool ok = which == 0   ? stack.allocate("10.0.0.1", 2830, "10.0.0.100", address, &relay_port)
              : which == 1 ? stack.probe("10.0.0.1", 40000)
                           : stack.release("10.0.0.1", 2830);
    if (peer.sent.size() > 9 || peer.now > 2000) abort();
    if (ok && sender[7] == '9') abort();
    if (which == 0 && ok != (address[0] != '\0')) abort();
    if (which == 0 && ok && (relay_port < 1 || relay_port > 65535)) abort();
    return 0;
}
