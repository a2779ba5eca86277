// Fetches against canned loopback servers, and the PIN page's request and verdict.
#include "web_get.h"

#include <gtest/gtest.h>

#include "pin_check.h"
#include "scripted_server.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

web_request request_to(const scripted_server& server, const char* scheme = "http") {
    const quint16 port = server.server.serverPort();
    const QString url = QString("%1://127.0.0.1:%2/version.xml").arg(scheme).arg(port);
    return {url, "VersionChecker/", 5000, 64 * 1024, {}};
}

QByteArray http(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

TEST(WebGet, AnswersAndFailures) {
    const QByteArray xml = "<Verify><Valid>true</Valid></Verify>", cap(64 * 1024, 'x');
    const struct {
        QByteArray reply, body;  // body null: refused
    } rows[] = {
        {http("200 OK", xml), xml},
        {http("200 OK", cap), cap},
        {http("200 OK", cap + "x"), {}},
        {http("404 Not Found", xml), {}},
        {"\x8f\xfe#not http at all\r\n\r\n", {}},
    };
    for (const auto& r : rows) {
        scripted_server server("\r\n\r\n");
        server.pieces = {{0, r.reply}};
        const web_answer answer = web_fetch(request_to(server));
        SCOPED_TRACE(r.reply.left(20).toStdString() + " " + answer.error.toStdString());
        EXPECT_EQ(answer.ok, !r.body.isNull());
        EXPECT_EQ(answer.body, r.body);
        EXPECT_EQ(answer.error.isEmpty(), answer.ok);
        EXPECT_TRUE(server.request.startsWith("GET /version.xml HTTP/1.1\r\n"));
        EXPECT_TRUE(server.request.contains("\r\nUser-Agent: VersionChecker/\r\n"));
    }
}

// A hanging server and a closed port are driven end to end.
TEST(WebGet, BadAddressesAndCaFilesFailBeforeAnyTraffic) {
    scripted_server server("\r\n\r\n");
    std::vector<web_request> requests(4, request_to(server, "https"));
    requests[0].ca_file = "/nonexistent/ca.pem";
    requests[1].url = "ftp://127.0.0.1/x";
    requests[2].url = "http:///x";
    requests[3].url = "127.0.0.1:2780/version.xml";
    for (const web_request& request : requests) {
        const web_answer answer = web_fetch(request);
        EXPECT_FALSE(answer.ok || answer.error.isEmpty()) << request.url.toStdString();
    }
    EXPECT_TRUE(server.request.isEmpty());
}

// The lab's page answers "true" and "false" end to end.
TEST(PinCheck, RequestAndVerdict) {
    const struct {
        web_answer answer;
        pin_verdict verdict;
    } rows[] = {
        {{true, 200, "<Verify><Valid>TRUE</Valid></Verify>", {}}, pin_verdict::valid},
        {{true, 200, "<Verify><Other>true</Other></Verify>", {}}, pin_verdict::invalid},
        {{true, 200, "<Verify><Valid>tr", {}}, pin_verdict::invalid},
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
