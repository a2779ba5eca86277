// The directory protocol's bytes, then the client against scripted servers; the
// lab's directory modes (refused, silent, split, garbage, wrong code) are driven
// end to end, and the login dialog runs its exchanges in the background.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTimer>
#include <climits>
#include <string>
#include <vector>

#include "directory_client.h"
#include "directory_items.h"
#include "directory_protocol.h"
#include "scripted_server.h"

namespace voxline::test {
namespace {

using namespace dialdeck;
using strings = std::vector<std::string>;

TEST(DirectoryRequest, BytesForEveryRequestTheApplicationSends) {
    struct row {
        directory_request request;
        std::string bytes;
    };
    const std::string post = "POST / HTTP/1.1\r\n\r\n";
    const row rows[] = {
        {account_lookup_request("2191001"), post + "9|2191001:undefined|2|[]"},
        {log_on_request("7001", "K1"), post + "22|7001:K1|2|[]"},
        {keep_alive_request("7001"), post + "23|7001|1|[]"},
        {log_off_request("7001", "K1"), post + "21|7001:K1:0|3|[]"},
        {search_request("Ad", "", "lab", "K1"), post + "8|Ad*:*:lab:K1:500:false|6|[]"},
        {search_request("", "Lo", "lab", "K1"), post + "8|*:Lo*:lab:K1:500:false|6|[]"},
        // Typed separators would shift the server's fields.
        {search_request("A:d|a", "B|", "lab", "K1"), post + "8|Ada*:B*:lab:K1:500:false|6|[]"},
        {server_contacts_request("7001"), post + "13|7001|1|[]"},
        {add_contact_request("7001", "7002"), post + "11|7001:7002|2|[]"},
    };
    for (const row& r : rows) EXPECT_EQ(build_directory_request(r.request), r.bytes);
}

TEST(DirectoryResponse, ParseTableCompletenessAndResult) {
    struct row {
        std::string bytes;
        int code;
        std::string text;
        int count;
        strings items;
    };
    const std::string http = "HTTP/1.1 200 OK\r\n\r\n";
    const row rows[] = {
        {"9|x|2|[a,b]", 9, "x", 2, {"a", "b"}},
        {http + "9|x|2|[a,b]", 9, "x", 2, {"a", "b"}},
        {"junk" + http + "9|x|0|[]", 9, "x", 0, {}},
        {"9|x|0|", 9, "x", 0, {}},
        {"9|x|1|[a:b:c]", 9, "x", 1, {"a:b:c"}},
        {"9|x|3|[a,,b]", 9, "x", 3, {"a", "", "b"}},
        {"22||0|[]", 22, "", 0, {}},
        {"9|x|2|[a]|extra", 9, "x", 2, {"a"}},
        // Fewer than four fields read as an empty answer.
        {"9|x|2", 0, "null", 0, {}},
        {"no bars at all", 0, "null", 0, {}},
        {"", 0, "null", 0, {}},
        // Bytes after a NUL are not part of the answer.
        {std::string("9|x|1|[a]\0|y", 12), 9, "x", 1, {"a"}},
        {std::string("9|x\0|1|[a]", 10), 0, "null", 0, {}},
        // Numbers never overflow.
        {"99999999999|x|-99999999999|[]", INT_MAX, "x", INT_MIN, {}},
        {"  13abc|x|+7|[]", 13, "x", 7, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.bytes);
        const directory_response p = parse_directory_response(r.bytes);
        EXPECT_EQ(std::tuple(p.code, p.text, p.count, p.items),
                  std::tuple(r.code, r.text, r.count, r.items));
    }
    EXPECT_EQ(parse_directory_response("x").list, "[]");
    EXPECT_TRUE(directory_response_complete("9|x|0|[]"));
    EXPECT_TRUE(directory_response_complete("HTTP/1.1 200 OK\r\n\r\n9|x|2|[a,b]"));
    for (const char* partial : {"9|x|2|[a,", "9|x]", "HTTP/1.1 200 OK\r\n"})
        EXPECT_FALSE(directory_response_complete(partial)) << partial;
    // A foreign 1 is not success, nor does a negative code pose as a local failure.
    const int results[][2] = {{9, 1}, {0, -3}, {99, 99}, {1, -3}, {-2, -3}};
    for (const auto& [code, result] : results) EXPECT_EQ(directory_result_for(9, code), result);
}

TEST(DirectoryItems, FieldsAreCountedBeforeUse) {
    EXPECT_FALSE(parse_lookup_item("a:b:c:d:e:f:g:h"));
    EXPECT_EQ(parse_lookup_item("a:b:c:d:e:f:g:h:i").value_or(strings{}).at(8), "i");
    EXPECT_EQ(parse_lookup_item("a:b:c:d:e:f:g:h:i:j:k").value_or(strings{}).size(), 9u);
    EXPECT_FALSE(parse_search_row("a:b:c:d:e:f"));
    const auto row = parse_search_row("Ada:Lovelace:7001:0:x:1:y");
    EXPECT_EQ(row ? row->name + "/" + row->number : "", "Ada Lovelace/7001");

    EXPECT_FALSE(parse_server_contact("a:b:c:0:e:1:g"));
    for (const auto& [status, level, marked, read_level] : {std::tuple{"0", "1", false, 1},
                                                            {"online", "1", true, 1},
                                                            {"0", "2", true, 2},
                                                            {"0", "junk", false, 0},
                                                            {"0", "99999999999", true, INT_MAX}}) {
        const auto c =
            parse_server_contact(std::string("Ada:L:7001:") + status + ":x:" + level + ":y:z");
        ASSERT_TRUE(c) << status << level;
        EXPECT_EQ(c->name + (c->marked ? " marked " : " ") + std::to_string(c->level),
                  "Ada L" + std::string(marked ? " marked " : " ") + std::to_string(read_level));
    }
    strings items(600, "A:B:7001:0:x:1:y:z");
    items[0] = "short:item";
    EXPECT_EQ(parse_server_contacts(items).size(), 500u);  // the server list's limit
}

TEST(DirectoryAddress, DottedIpv4Only) {
    for (const char* good : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "10.1.22.3"})
        EXPECT_TRUE(is_dotted_ipv4(good)) << good;
    for (const char* bad : {"localhost", "127.1", "127.0.0.256", "127.0.0.1.", "1.2.3.04444",
                            "0x7f.0.0.1", "", "1..2.3", " 1.2.3.4", "1.2.3.4 "})
        EXPECT_FALSE(is_dotted_ipv4(bad)) << bad;
}

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
