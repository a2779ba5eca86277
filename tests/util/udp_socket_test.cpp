#include "util/udp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>

namespace voxline::test {
namespace {

// Each test binds its own loopback address so parallel tests never collide.
constexpr const char* ADDRESS = "127.0.0.61";

TEST(UdpSocket, BindToAnAddressInUseFailsWithAddressInUse) {
    udp_socket first(ADDRESS, 3400);
    ASSERT_EQ(first.listen_socket(0), UDP_OK);
    udp_socket second(ADDRESS, 3400);
    EXPECT_EQ(second.listen_socket(0), UDP_BIND_FAILED);
    EXPECT_EQ(second.last_error(), EADDRINUSE);
    EXPECT_STREQ(second.error_text(), "bind in listen_socket");
}

TEST(UdpSocket, QuietEmptyTruncatedAndWholeDatagrams) {
    udp_socket receiver(ADDRESS, 3402);
    ASSERT_EQ(receiver.listen_socket(65536, 0xB8), UDP_OK);
    udp_socket sender(ADDRESS, 3403);
    ASSERT_EQ(sender.listen_socket(0), UDP_OK);

    char buffer[8];
    sockaddr_in from{};
    int length = sizeof buffer;
    EXPECT_EQ(receiver.read_socket_timeout(buffer, &length, nullptr, 0, 50), UDP_TIMEOUT);
    EXPECT_EQ(length, 0);
    length = sizeof buffer;
    EXPECT_EQ(receiver.nread_socket_nonblock(buffer, &length, nullptr), UDP_NOTHING_TO_READ);

    ASSERT_EQ(sender.write_socket_block("", 0, &receiver.address()), UDP_OK);
    length = sizeof buffer;
    EXPECT_EQ(receiver.read_socket_timeout(buffer, &length, &from, 1, 0), UDP_EMPTY_DATAGRAM);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(from.sin_port, htons(3403));

    ASSERT_EQ(sender.write_socket_block("0123456789", 10, &receiver.address()), UDP_OK);
    length = sizeof buffer;
    EXPECT_EQ(receiver.read_socket_timeout(buffer, &length, &from, 1, 0), UDP_OK);
    EXPECT_EQ(length, 8);
    EXPECT_TRUE(receiver.last_truncated());

    ASSERT_EQ(sender.write_socket_block("abc", 3, &receiver.address()), UDP_OK);
    length = sizeof buffer;
    EXPECT_EQ(receiver.read_socket_timeout_us(buffer, &length, &from, 1000000), UDP_OK);
    EXPECT_EQ(length, 3);
    EXPECT_FALSE(receiver.last_truncated());
    EXPECT_EQ(memcmp(buffer, "abc", 3), 0);
}

TEST(DottedAddress, ConvertsBothWaysAndRefusesNames) {
    uint32_t address = 0;
    ASSERT_TRUE(dotted_to_address("10.1.2.3", &address));
    EXPECT_EQ(address, htonl(0x0A010203));
    char text[16];
    EXPECT_STREQ(address_to_dotted(address, text, sizeof text), "10.1.2.3");

    for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3",
                            "1.2.3.4 ", "-1.2.3.4", "1.2.3.0004"}) {
        EXPECT_FALSE(dotted_to_address(bad, &address)) << bad;
    }
    EXPECT_FALSE(dotted_to_address(nullptr, &address));

    udp_socket invalid;
    EXPECT_EQ(invalid.set_address("not an address", 1), -1);
}

}  // namespace
}  // namespace voxline::test
