#include "directory_client.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

namespace voxline::test {
namespace {

using dialdeck::DirectoryClient;

// A directory server scripted per test: it records the request, then sends
// its pieces (each after its delay) and closes, or keeps the line open.
class scripted_server {
  public:
    struct piece {
        int delay_ms;
        QByteArray bytes;
    };
    std::vector<piece> pieces;
    bool close_after = true;
    QByteArray request;
    int connections = 0;

    scripted_server() {
        m_server.listen(QHostAddress("127.0.0.1"), 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { on_connection(); });
    }
    quint16 port() const { return m_server.serverPort(); }

  private:
    void on_connection() {
        QTcpSocket* peer = m_server.nextPendingConnection();
        ++connections;
        request.clear();
        m_peers.emplace_back(peer);
        QObject::connect(peer, &QTcpSocket::readyRead, [this, peer] {
            request += peer->readAll();
            if (!request.endsWith("]")) return;
            int at = 0;
            for (const piece& p : pieces) {
                at += p.delay_ms;
                QTimer::singleShot(at, peer, [peer, bytes = p.bytes] { peer->write(bytes); });
            }
            if (close_after) QTimer::singleShot(at, peer, [peer] { peer->disconnectFromHost(); });
        });
    }

    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_peers;
};

const QByteArray HTTP_OK = "HTTP/1.1 200 OK\r\n\r\n";

struct DirectoryClientTest : testing::Test {
    scripted_server server;
    DirectoryClient client;

    int lookup() {
        EXPECT_TRUE(client.open("127.0.0.1", server.port()));
        return client.exchange(9, "2191001:undefined", 2);
    }
};

TEST_F(DirectoryClientTest, NormalAnswerGivesTextThenItemsThenEmpty) {
    server.pieces = {{0, HTTP_OK + "9|found|2|[Ada:L,Bob:M]"}};
    server.close_after = false;  // the closing "]" ends the read, not the close
    std::vector<bool> busy;
    client.set_busy_hook([&](bool on) { busy.push_back(on); });
    EXPECT_EQ(lookup(), 1);
    EXPECT_EQ(server.request, "POST / HTTP/1.1\r\n\r\n9|2191001:undefined|2|[]");
    EXPECT_EQ(client.last_text(), "found");
    EXPECT_EQ(client.next_item(), "Ada:L");
    EXPECT_EQ(client.next_item(), "Bob:M");
    EXPECT_EQ(client.next_item(), "");
    EXPECT_EQ(client.last_error(), "no error information available.");
    EXPECT_EQ(busy, (std::vector<bool>{true, false, true, false}));
    // Each exchange has its own connection.
    EXPECT_EQ(client.exchange(9, "2191001:undefined", 2), 1);
    EXPECT_EQ(server.connections, 3);
}

TEST_F(DirectoryClientTest, AnswerInTwoPiecesIsReadWholeWhileTheEventLoopRuns) {
    server.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\n13|ok|3|[a,b"}, {200, ",c]"}};
    int ticks = 0;
    QTimer painter;
    QObject::connect(&painter, &QTimer::timeout, [&] { ++ticks; });
    painter.start(20);
    EXPECT_EQ(client.open("127.0.0.1", server.port()), true);
    EXPECT_EQ(client.exchange(13, "7001", 1), 1);
    EXPECT_EQ(client.last_response().items, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_GE(ticks, 5);
}

TEST_F(DirectoryClientTest, ResultsOfBadAnswers) {
    struct row {
        std::vector<scripted_server::piece> pieces;
        int result;
        std::string error;
    };
    const std::string none = "no error information available.";
    const std::string receive = "recvfrom in nread_socket_block";
    const row rows[] = {
        {{{0, "99|wrong|0|[]"}}, 99, none},
        {{{0, "\xff\xfe garbage without fields\r\n"}}, -3, none},
        {{{0, "0|x|0|[]"}}, -3, none},
        {{{0, "9|unended|1|[a"}}, 1, none},  // the close ends it
        {{}, -2, receive},                   // closed without a word
    };
    for (const row& r : rows) {
        scripted_server s;
        s.pieces = r.pieces;
        DirectoryClient c;
        ASSERT_TRUE(c.open("127.0.0.1", s.port()));
        EXPECT_EQ(c.exchange(9, "2191001:undefined", 2), r.result);
        EXPECT_EQ(c.last_error(), r.error);
    }
}

TEST_F(DirectoryClientTest, SilentServerTimesOutAfterTenSeconds) {
    server.close_after = false;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(lookup(), -2);
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 9500);
    EXPECT_LE(took, 11000);
    EXPECT_EQ(client.last_error(), "recvfrom in nread_socket_block");
    EXPECT_EQ(client.last_text(), "null");
}

TEST_F(DirectoryClientTest, ReadingStopsAt65535Bytes) {
    server.pieces = {{0, "9|big|1|[" + QByteArray(70000, 'x')}};
    server.close_after = false;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(lookup(), 1);
    EXPECT_LT(clock.elapsed(), 9500);  // did not wait for the time-out
    EXPECT_EQ(client.last_response().list.size(), 65535u - 8u);
}

TEST_F(DirectoryClientTest, BackgroundExchangeReportsThroughFinished) {
    server.pieces = {{0, "23|true|0|[]"}};
    bool busy = false;
    client.set_busy_hook([&](bool) { busy = true; });
    client.set_server("127.0.0.1", server.port());
    int result = 0;
    QEventLoop loop;
    QObject::connect(&client, &DirectoryClient::finished, [&](int r) {
        result = r;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    client.start_exchange(23, "7001", 1);
    EXPECT_TRUE(client.running());
    loop.exec();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(client.last_text(), "true");
    EXPECT_FALSE(busy);
}

TEST_F(DirectoryClientTest, ClientDeletedWhileWaitingEndsTheWait) {
    server.close_after = false;
    auto* doomed = new DirectoryClient;
    ASSERT_TRUE(doomed->open("127.0.0.1", server.port()));
    QTimer::singleShot(100, [doomed] { delete doomed; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(doomed->exchange(9, "2191001:undefined", 2), -2);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(DirectoryClientConnect, RefusedAndInvalidAddresses) {
    quint16 closed_port;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress("127.0.0.1"), 0));
        closed_port = probe.serverPort();
    }
    DirectoryClient client;
    EXPECT_FALSE(client.open("127.0.0.1", closed_port));
    EXPECT_EQ(client.last_error(), "connect in open_socket");
    EXPECT_EQ(client.exchange(9, "x:undefined", 2), -1);

    for (const char* name : {"localhost", "127.1"}) {
        DirectoryClient named;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(named.open(name, closed_port));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n\nInvalid IP address!\n\n");
        EXPECT_EQ(named.last_error(), "connect in open_socket");
    }
}

}  // namespace
}  // namespace voxline::test
