#include "util/udp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>

#include <string>

namespace voxline::test {
namespace {

// Each test binds its own loopback address so parallel tests never collide.
constexpr const char* ADDRESS = "127.0.0.61";

TEST(UdpSocket, AddressInUseQuietEmptyTruncatedAndWholeDatagrams) {
    udp_socket receiver(ADDRESS, 3402), sender(ADDRESS, 3403), second(ADDRESS, 3402);
    ASSERT_EQ(receiver.listen_socket(65536, 0xB8), UDP_OK);
    ASSERT_EQ(sender.listen_socket(0), UDP_OK);
    EXPECT_EQ(second.listen_socket(0), UDP_BIND_FAILED);
    EXPECT_EQ(second.last_error(), EADDRINUSE);
    EXPECT_STREQ(second.error_text(), "bind in listen_socket");

    char buffer[8];
    sockaddr_in from{};
    int length = sizeof buffer;
    EXPECT_EQ(receiver.read_socket_timeout(buffer, &length, nullptr, 0, 50), UDP_TIMEOUT);
    EXPECT_EQ(length, 0);
    length = sizeof buffer;
    EXPECT_EQ(receiver.nread_socket_nonblock(buffer, &length, nullptr), UDP_NOTHING_TO_READ);
    // What arrives, as (result, length, truncated).
    const auto next = [&](const std::string& text) {
        EXPECT_EQ(sender.write_socket_block(text.data(), text.size(), &receiver.address()), UDP_OK);
        length = sizeof buffer;
        const int rc = receiver.read_socket_timeout_us(buffer, &length, &from, 1000000);
        EXPECT_EQ(from.sin_port, htons(3403));
        return std::make_tuple(rc, length, receiver.last_truncated());
    };
    EXPECT_EQ(next(""), std::make_tuple(int(UDP_EMPTY_DATAGRAM), 0, false));
    EXPECT_EQ(next("0123456789"), std::make_tuple(int(UDP_OK), 8, true));
    EXPECT_EQ(next("abc"), std::make_tuple(int(UDP_OK), 3, false));
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST(DottedAddress, ConvertsBothWaysAndRefusesNames) {
    uint32_t address = 0;
    ASSERT_TRUE(dotted_to_address("10.1.2.3", &address));
    EXPECT_EQ(address, htonl(0x0A010203));
    char text[16];
    EXPECT_STREQ(address_to_dotted(address, text, sizeof text), "10.1.2.3");
    for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3",
                            "1.2.3.4 ", "-1.2.3.4", "1.2.3.0004"})
        EXPECT_FALSE(dotted_to_address(bad, &address)) << bad;
    EXPECT_FALSE(dotted_to_address(nullptr, &address));
    EXPECT_EQ(udp_socket().set_address("not an address", 1), -1);
}

}  // namespace
}  // namespace voxline::test
