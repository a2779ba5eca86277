#include "core/rtp_address_finder.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_home.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"

namespace voxline::test {
namespace {

// A loopback peer that answers each request by its first word, and keeps
// what it was sent and on which port.
class answering_peer {
  public:
    answering_peer(const char* address, std::vector<uint16_t> ports) {
        for (uint16_t port : ports) {
            auto socket = std::make_unique<udp_socket>(address, port);
            EXPECT_EQ(socket->listen_socket(0), UDP_OK);
            m_sockets.push_back(std::move(socket));
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~answering_peer() { finish(); }
    // Stops answering; what it heard, as "port text".
    std::vector<std::string> finish() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        return m_heard;
    }

  private:
    void serve() {
        char buffer[256];
        while (!m_stop) {
            for (auto& socket : m_sockets) {
                int length = sizeof buffer - 1;
                sockaddr_in from{};
                if (socket->read_socket_timeout_us(buffer, &length, &from, 5000) != UDP_OK)
                    continue;
                buffer[length] = '\0';
                const std::string text(buffer);
                m_heard.push_back(std::to_string(ntohs(socket->address().sin_port)) + " " + text);
                std::string reply;
                if (text == "GetNAT") reply = "40000 198.51.100.2";
                if (text.rfind("PROXY_ALLOC", 0) == 0) reply = "PROXY_ACKALLOC alice_1 42000";
                if (text.rfind("PROXY_PROBE", 0) == 0) reply = "PROXY_ACKPROBE alice_1";
                if (text.rfind("PROXY_DEALLOC", 0) == 0) reply = "PROXY_ACKDEALLOC alice_1";
                if (!reply.empty())
                    socket->write_socket_block(reply.c_str(), reply.size() + 1, &from);
            }
        }
    }
    std::vector<std::unique_ptr<udp_socket>> m_sockets;
    std::vector<std::string> m_heard;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(RtpAddressFinder, MapsAllocatesProbesAndReleasesOverTheRtpSocket) {
    temp_home home;
    set_process_client_name("alice 1");
    udp_socket rtp("127.0.216.2", 3400);
    ASSERT_EQ(rtp.listen_socket(0), UDP_OK);
    const std::atomic<bool> stop{false};
    auto finder = make_rtp_address_finder();
    answering_peer peer("127.0.216.1", {2829, 2830, 42000});
    std::string address;
    int port = -1;
    ASSERT_TRUE(finder->query_nat_mapping(rtp, "127.0.216.1", 2829, stop, &address, &port));
    EXPECT_EQ(address + ":" + std::to_string(port), "198.51.100.2:40000");
    ASSERT_TRUE(finder->allocate_relay(rtp, " bogus, 127.0.216.1", 2830, "127.0.216.9", stop,
                                       &address, &port));
    EXPECT_EQ(address + ":" + std::to_string(port), "127.0.216.1:42000");
    EXPECT_TRUE(finder->probe_relay(rtp, address.c_str(), port, stop));
    finder->release_relay(rtp, address.c_str(), port);
    // The release goes to the control port, not the relay port.
    EXPECT_EQ(peer.finish(), (std::vector<std::string>{
                                 "2829 GetNAT", "2830 PROXY_ALLOC 0 alice_1 127.0.216.9",
                                 "42000 PROXY_PROBE alice_1", "2830 PROXY_DEALLOC 0 alice_1"}));
}

}  // namespace
}  // namespace voxline::test
