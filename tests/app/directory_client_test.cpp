// The directory client against scripted servers; the lab's directory modes
// (refused, silent, split, garbage, wrong code) are driven end to end, and the
// login dialog runs its exchanges in the background.
#include "directory_client.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTimer>

#include "scripted_server.h"

namespace voxline::test {
namespace {

using dialdeck::DirectoryClient;

struct DirectoryClientTest : testing::Test {
    scripted_server server{"]"};
    DirectoryClient client;

    int exchange() { return client.exchange(9, "2191001:undefined", 2); }
};

TEST_F(DirectoryClientTest, AnswerInPiecesIsReadWholeWhileTheEventLoopRuns) {
    server.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\n9|found|2|[Ada:L,Bo"}, {200, "b:M]"}};
    server.close_after = false;  // the closing "]" ends the read, not the close
    ASSERT_TRUE(client.open("127.0.0.1", server.server.serverPort()));
    std::vector<bool> busy;
    client.set_busy_hook([&](bool on) { busy.push_back(on); });
    int ticks = 0;
    QTimer painter;
    QObject::connect(&painter, &QTimer::timeout, [&] { ++ticks; });
    painter.start(20);
    EXPECT_EQ(exchange(), 1);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(client.last_text(), "found");
    for (const char* item : {"Ada:L", "Bob:M", ""}) EXPECT_EQ(client.next_item(), item);
    EXPECT_EQ(client.last_error(), "no error information available.");
    // Each exchange has its own connection; a close ends an unended answer.
    server.pieces = {{0, "9|unended|1|[a"}};
    server.close_after = true;
    EXPECT_EQ(exchange(), 1);
    EXPECT_EQ(client.last_text(), "unended");
    EXPECT_EQ(busy, (std::vector<bool>{true, false, true, false}));
    server.pieces = {};  // closed without a word
    EXPECT_EQ(exchange(), -2);
    EXPECT_EQ(client.last_error(), "recvfrom in nread_socket_block");
    EXPECT_EQ(server.connections, 4);
}

TEST_F(DirectoryClientTest, ReadingStopsAt65535Bytes) {
    server.pieces = {{0, "9|big|1|[" + QByteArray(70000, 'x')}};
    server.close_after = false;
    ASSERT_TRUE(client.open("127.0.0.1", server.server.serverPort()));
    const QDeadlineTimer before_timeout(9500);
    EXPECT_EQ(exchange(), 1);
    EXPECT_FALSE(before_timeout.hasExpired()) << "waited for the 10 s time-out";
    EXPECT_EQ(client.last_response().list.size(), 65535u - 8u);
}

TEST_F(DirectoryClientTest, ClientDeletedWhileWaitingEndsTheWait) {
    server.close_after = false;
    auto* doomed = new DirectoryClient;
    ASSERT_TRUE(doomed->open("127.0.0.1", server.server.serverPort()));
    QTimer::singleShot(100, [doomed] { delete doomed; });
    const QDeadlineTimer soon(5000);
    EXPECT_EQ(doomed->exchange(9, "2191001:undefined", 2), -2);
    EXPECT_FALSE(soon.hasExpired()) << "waited on after the client was gone";
}

TEST(DirectoryClientConnect, HostNamesAreRefused) {
    for (const char* name : {"localhost", "127.1"}) {
        DirectoryClient client;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(client.open(name, 2740));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n\nInvalid IP address!\n\n");
        EXPECT_EQ(client.last_error(), "connect in open_socket");
        EXPECT_EQ(client.exchange(9, "x:undefined", 2), -1);
    }
}

}  // namespace
}  // namespace voxline::test
