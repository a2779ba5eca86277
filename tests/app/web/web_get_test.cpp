// Fetches against canned loopback servers, and the PIN page's request and verdict.
#include "web_get.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "pin_check.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

web_answer got(const QByteArray& body) {
    return {true, 200, body, {}};
}

// Answers every request with fixed bytes and keeps what it was asked.
struct canned_server {
    QByteArray reply, request;
    QTcpServer server;  // its sockets are its children

    canned_server() {
        server.listen(QHostAddress("127.0.0.1"), 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket* peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [this, peer] {
                request += peer->readAll();
                if (!request.contains("\r\n\r\n")) return;
                peer->write(reply);
                peer->disconnectFromHost();
            });
        });
    }
    QString url(const char* path) const {
        return QString("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
};

QByteArray http(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

web_request request_for(const QString& url) {
    return {url, "VersionChecker/", 5000, 64 * 1024, {}};
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

// A hanging server and a closed port are driven end to end.
TEST(WebGet, BadAddressesAndCaFilesFailBeforeAnyTraffic) {
    canned_server server;
    server.reply = http("200 OK", "x");
    web_request unreadable_ca = request_for(server.url("/pin").replace("http:", "https:"));
    unreadable_ca.ca_file = "/nonexistent/ca.pem";
    for (const web_request& request :
         {unreadable_ca, request_for("ftp://127.0.0.1/x"), request_for("http:///x"),
          request_for("127.0.0.1:2780/version.xml")}) {
        const web_answer answer = web_fetch(request);
        EXPECT_FALSE(answer.ok) << request.url.toStdString();
        EXPECT_FALSE(answer.error.isEmpty()) << request.url.toStdString();
    }
    EXPECT_TRUE(server.request.isEmpty());
}

TEST(PinCheck, RequestAndVerdict) {
    const struct {
        web_answer answer;
        pin_verdict verdict;
    } rows[] = {
        {got("<Verify><Valid>TRUE</Valid></Verify>"), pin_verdict::valid},
        {got("<Verify><Valid>false</Valid></Verify>"), pin_verdict::invalid},
        {got("<Verify><Other>true</Other></Verify>"), pin_verdict::invalid},
        {got("<Verify><Valid>tr"), pin_verdict::invalid},
        {{false, 403, {}, "HTTP status 403"}, pin_verdict::failed},
    };
    web_request asked;
    for (const auto& r : rows) {
        const pin_result result =
            verify_pin("Al&ma:B#erg,2191001,1 2%", "Lab Key&x=1", "127.0.0.1:2743",
                       "verify/pin.asp", "/ca.pem", [&](const web_request& request) {
                           asked = request;
                           return r.answer;
                       });
        EXPECT_EQ(result.verdict, r.verdict) << r.answer.body.toStdString();
        EXPECT_EQ(result.reason.isEmpty(), r.verdict != pin_verdict::failed);
    }
    EXPECT_EQ(asked.url,
              "https://127.0.0.1:2743/verify/pin.asp&PIN=Al%26ma:B%23erg,2191001,1%202%25"
              "&ownerKey=Lab%20Key%26x%3D1");
    EXPECT_EQ(asked.timeout_ms, 60000);
    EXPECT_EQ(asked.ca_file, "/ca.pem");
}

}  // namespace
}  // namespace voxline::test
