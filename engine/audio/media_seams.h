// What the media session needs from parts of the engine built beside it, each
// behind a small interface with a stand-in until the real one is plugged in.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/tick_hooks.h"

namespace voxline {

class udp_socket;

// NAT discovery and the media relay, spoken over the session's own RTP
// socket. Every wait ends early once `stop` is set (the session is closing).
struct rtp_address_finder {
    virtual ~rtp_address_finder() = default;
    // The socket's address as the call agent sees it.
    virtual bool query_nat_mapping(udp_socket& socket, const char* call_agent_host,
                                   int call_agent_port, const std::atomic<bool>& stop,
                                   std::string* address, int* port) = 0;
    // A relay port for the call: its address and port go to the far end.
    virtual bool allocate_relay(udp_socket& socket, const char* proxy_host, int proxy_port,
                                const char* call_agent_host, const std::atomic<bool>& stop,
                                std::string* address, int* port) = 0;
    virtual bool probe_relay(udp_socket& socket, const char* address, int port,
                             const std::atomic<bool>& stop) = 0;
    virtual void release_relay(udp_socket& socket, const char* address, int port) = 0;
};

// Until discovery and the relay exist, every request fails, so an open behind
// a NAT fails with the session's own error lines.
std::unique_ptr<rtp_address_finder> make_missing_address_finder();

// What an enable tells the echo canceller's set-up.
struct echo_setup {
    bool notch_during_ping = false;
    uint32_t latency_ms = 0;  // 0xFFFFFFFF: measure it with the ping
    // A redirect keeps the delay then in use and does not ping again.
    bool redirect = false;
    // Where a measured delay goes (the session's one-slot mailbox); called on
    // the RTP thread, so it must not block.
    void (*publish)(void* context, int delay_ms) = nullptr;
    void* context = nullptr;
};

// Tones, digits and the echo canceller of a call. The stand-in has none: its
// tick hooks are the no-ops of tick_hooks.
struct call_media_extras : tick_hooks {
    // Enable: the digit queue emptied, the old canceller gone, a new one set up.
    virtual void clear_digits() {}
    // Call thread: digits to play during the call; 0, or 1 when any was refused.
    virtual int queue_digits(const char* digits) {
        (void)digits;
        return 1;
    }
    virtual void drop_echo_canceller() {}
    virtual void set_up_echo_canceller(const echo_setup& setup) { (void)setup; }
};

}  // namespace voxline
