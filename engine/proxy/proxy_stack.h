// The media relay protocol of one media session, spoken from its RTP socket:
// allocation over the proxy list, the probe of the relay port, the release.
#pragma once

#include <functional>
#include <string>

#include "nat/datagram_channel.h"
#include "proxy/proxy_messages.h"

namespace voxline {

inline constexpr size_t PROXY_ADDRESS_MAX = 15;  // dotted IPv4

class proxy_stack {
  public:
    // channel: the RTP socket and the clock; client_name: the endpoint's.
    proxy_stack(datagram_channel& channel, const char* client_name);

    // Asks each proxy of the comma-separated list in turn at control_port;
    // the first grant fills proxy_address (the dotted address it came from)
    // and relay_port. Without one, proxy_address is emptied and false returned.
    bool allocate(const char* proxy_list, int control_port, const char* call_agent_ip,
                  char (&proxy_address)[PROXY_ADDRESS_MAX + 1], int* relay_port);
    // Probes the relay port; true when the proxy acknowledged.
    bool probe(const char* proxy_address, int relay_port);
    // Frees the relay port; true when the proxy acknowledged.
    bool release(const char* proxy_address, int control_port);

    const std::string& session_id() const { return m_session_id; }

  private:
    using validator = std::function<proxy_verdict(const char* text, const char* sender)>;
    // One request, its retries and its answer; not_accepted when none came.
    proxy_verdict transact(const std::string& request, const char* address, int port,
                           const validator& accept);

    datagram_channel& m_channel;
    std::string m_session_id;
};

}  // namespace voxline
