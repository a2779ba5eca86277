#include "core/rtp_address_finder.h"

#include <arpa/inet.h>

#include "nat/nat_query.h"
#include "proxy/proxy_stack.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"

namespace voxline {

namespace {

class engine_address_finder final : public rtp_address_finder {
  public:
    bool query_nat_mapping(udp_socket& socket, const char* call_agent_host, int nat_port,
                           const std::atomic<bool>& stop, std::string* address,
                           int* port) override {
        udp_channel channel(socket, &stop);
        char local_ip[16];
        address_to_dotted(socket.address().sin_addr.s_addr, local_ip, sizeof local_ip);
        const nat_query_result result = nat_query(channel, call_agent_host, nat_port, local_ip,
                                                  ntohs(socket.address().sin_port));
        if (result.no_answer) return false;
        *address = result.mapped_ip;
        *port = result.mapped_port;
        return true;
    }

    bool allocate_relay(udp_socket& socket, const char* proxy_list, int proxy_port,
                        const char* call_agent_host, const std::atomic<bool>& stop,
                        std::string* address, int* port) override {
        udp_channel channel(socket, &stop);
        proxy_stack stack(channel, client_name());
        char granted[PROXY_ADDRESS_MAX + 1] = {};
        // The release goes to the control port of the proxy that granted.
        m_control_port = proxy_port;
        if (!stack.allocate(proxy_list, proxy_port, call_agent_host, granted, port)) return false;
        *address = granted;
        return true;
    }

    bool probe_relay(udp_socket& socket, const char* address, int relay_port,
                     const std::atomic<bool>& stop) override {
        udp_channel channel(socket, &stop);
        return proxy_stack(channel, client_name()).probe(address, relay_port);
    }

    void release_relay(udp_socket& socket, const char* address, int) override {
        udp_channel channel(socket);
        proxy_stack(channel, client_name()).release(address, m_control_port);
    }

  private:
    static const char* client_name() {
        static thread_local char name[CLIENT_NAME_MAX + 1];
        process_client_name(name);
        return name;
    }

    int m_control_port = 0;
};

}  // namespace

std::unique_ptr<rtp_address_finder> make_rtp_address_finder() {
    return std::make_unique<engine_address_finder>();
}

}  // namespace voxline
