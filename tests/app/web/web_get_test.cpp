#include "web_get.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <vector>

#include "pin_check.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

web_answer got(const QByteArray& body) {
    return {true, 200, body, {}};
}

// Answers every request with fixed bytes (or nothing) and keeps what it was asked.
class canned_server {
  public:
    QByteArray reply;
    bool silent = false;
    QByteArray request;
    int requests = 0;

    canned_server() {
        m_server.listen(QHostAddress("127.0.0.1"), 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket* peer = m_server.nextPendingConnection();
            m_peers.emplace_back(peer);
            QObject::connect(peer, &QTcpSocket::readyRead, [this, peer] {
                request += peer->readAll();
                if (!request.contains("\r\n\r\n") || silent) return;
                ++requests;
                peer->write(reply);
                peer->disconnectFromHost();
            });
        });
    }
    QString url(const char* path) const {
        return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

  private:
    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_peers;
};

QByteArray http(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

web_request request_for(const QString& url, int timeout_ms = 5000) {
    return {url, "VersionChecker/", timeout_ms, 64 * 1024, {}};
}

TEST(WebGet, AnswersAndFailures) {
    struct row {
        const char* name;
        QByteArray reply;
        bool ok;
        QByteArray body;
    };
    const QByteArray xml = "<Verify><Valid>true</Valid></Verify>";
    const row rows[] = {
        {"ok", http("200 OK", xml), true, xml},
        {"at the 64 KiB cap", http("200 OK", QByteArray(64 * 1024, 'x')), true,
         QByteArray(64 * 1024, 'x')},
        {"one byte over 64 KiB", http("200 OK", QByteArray(64 * 1024 + 1, 'x')), false, {}},
        {"not found", http("404 Not Found", xml), false, {}},
        {"server error", http("500 Internal", xml), false, {}},
        {"not HTTP", "\x8f\xfe#not http at all\r\n\r\n", false, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        canned_server server;
        server.reply = r.reply;
        const web_answer answer = web_fetch(request_for(server.url("/version.xml")));
        EXPECT_EQ(answer.ok, r.ok) << answer.error.toStdString();
        EXPECT_EQ(answer.body, r.body);
        EXPECT_EQ(answer.error.isEmpty(), r.ok);
        EXPECT_TRUE(server.request.startsWith("GET /version.xml HTTP/1.1\r\n"));
        EXPECT_TRUE(server.request.contains("\r\nUser-Agent: VersionChecker/\r\n"));
    }
}

TEST(WebGet, SilentServerEndsAtTheTimeOut) {
    canned_server server;
    server.silent = true;
    const web_answer answer = web_fetch(request_for(server.url("/version.xml"), 300));
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, "timed out");
    EXPECT_TRUE(server.request.startsWith("GET /version.xml"));
}

TEST(WebGet, NothingListeningAndBadAddressesFail) {
    for (const char* url : {"http://127.0.0.1:1/version.xml", "ftp://127.0.0.1/x", "http:///x",
                            "127.0.0.1:2780/version.xml"}) {
        const web_answer answer = web_fetch(request_for(url));
        EXPECT_FALSE(answer.ok) << url;
        EXPECT_FALSE(answer.error.isEmpty()) << url;
    }
}

TEST(WebGet, UnreadableCaFileFailsBeforeAnyTraffic) {
    canned_server server;
    server.reply = http("200 OK", "x");
    web_request request = request_for(server.url("/pin").replace("http:", "https:"));
    request.ca_file = "/nonexistent/ca.pem";
    const web_answer answer = web_fetch(request);
    EXPECT_FALSE(answer.ok);
    EXPECT_TRUE(server.request.isEmpty());
}

TEST(PinCheck, UrlEncodesRecordAndOwnerKey) {
    const web_request request = pin_request("Al&ma:B#erg,2191001,1 2%", "Lab Key&x=1",
                                            "127.0.0.1:2743", "verify/pin.asp", "/ca.pem");
    EXPECT_EQ(request.url,
              "https://127.0.0.1:2743/verify/pin.asp&PIN=Al%26ma:B%23erg,2191001,1%202%25"
              "&ownerKey=Lab%20Key%26x%3D1");
    EXPECT_EQ(request.timeout_ms, 60000);
    EXPECT_EQ(request.ca_file, "/ca.pem");
}

TEST(PinCheck, VerdictFromValidElement) {
    struct row {
        web_answer answer;
        pin_verdict verdict;
    };
    const row rows[] = {
        {got("<Verify><Valid>true</Valid></Verify>"), pin_verdict::valid},
        {got("<Verify><Valid>TRUE</Valid></Verify>"), pin_verdict::valid},
        {got("<Verify><Valid>false</Valid></Verify>"), pin_verdict::invalid},
        {got("<Verify><Other>true</Other></Verify>"), pin_verdict::invalid},
        {got("<Verify><Valid>tr"), pin_verdict::invalid},
        {{false, 403, {}, "HTTP status 403"}, pin_verdict::failed},
    };
    for (const row& r : rows) {
        const pin_result result = verify_pin("2191001", "DialdeckLab", "127.0.0.1", "pin", {},
                                             [&](const web_request&) { return r.answer; });
        EXPECT_EQ(result.verdict, r.verdict) << r.answer.body.toStdString();
        EXPECT_EQ(result.reason.isEmpty(), r.verdict != pin_verdict::failed);
    }
}

}  // namespace
}  // namespace voxline::test
