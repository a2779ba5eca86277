// Fetches against canned loopback servers, the PIN page's request and verdict,
// how versions compare, and the version check's request, outcomes and message
// boxes. Reading its settings is driven end to end, as are the lab's answers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <tuple>

#include "modal_answers.h"
#include "pin_check.h"
#include "scripted_server.h"
#include "version_check.h"
#include "version_compare.h"
#include "version_dialogs.h"
#include "web_get.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

const std::string k_offer_11 =
    "A different version of software is available.\nWould you like to download the server "
    "version?\n\nYour Version: 2.0.0.6\nDownloadable Version: 2.0.0.11\n\nNOTE: If you are "
    "running an older version,\nnot updating might cause your phone to not function properly.";
const std::string k_flavor =
    "A different flavor of software is available.\nWould you like to download the server "
    "version?\nNew features may be available with this new flavor.";

// Records every box and opened page, and answers the questions in turn: y or n.
struct scripted_prompts : version_prompts {
    std::vector<std::string> shown;
    std::string answers;
    void error(const std::string& caption, const std::string& text) override {
        shown.push_back("error " + caption + ": " + text);
    }
    void inform(const std::string& text) override { shown.push_back("inform: " + text); }
    bool ask(const std::string& caption, const std::string& text) override {
        shown.push_back("ask " + caption + ": " + text);
        const bool yes = answers.starts_with('y');
        if (!answers.empty()) answers.erase(0, 1);
        return yes;
    }
    void open_url(const std::string& url) override { shown.push_back("open " + url); }
};

web_answer doc(const char* version, const char* need = "false", const char* flavor = "lab") {
    const QByteArray body = QByteArray("<VersionInfo><Version>") + version + "</Version><Need>" +
                            need + "</Need><Flavor>" + flavor + "</Flavor></VersionInfo>";
    return {true, 200, body, {}};
}

// The lab's settings, one field changed.
version_settings enabled(std::string version_settings::*field = nullptr, const char* to = "") {
    version_settings s{
        "TRUE", "http://127.0.0.1:2780;version.xml", "https://dl.lab.invalid/get", "false", "lab",
        ""};
    if (field) s.*field = to;
    return s;
}

TEST(VersionCheck, RequestTakesHostSchemeElseHttps) {
    EXPECT_EQ(version_request("http://127.0.0.1:2780", "v/version.xml", "").url,
              "http://127.0.0.1:2780/v/version.xml");
    const web_request bare = version_request("updates.lab.invalid", "version.xml", "/etc/ca.pem");
    EXPECT_EQ(bare.url + " " + bare.user_agent + " " + bare.ca_file,
              "https://updates.lab.invalid/version.xml VersionChecker/ /etc/ca.pem");
    EXPECT_TRUE(bare.timeout_ms == 15000 && bare.max_bytes == 64 * 1024);
}

TEST(VersionCheck, OutcomesAndBoxes) {
    using vs = version_settings;
    const vs on = enabled(), flavored = enabled(&vs::flavor_enable, "true"),
             no_download = enabled(&vs::url_download), off = enabled(&vs::update_enable, "yes"),
             no_path = enabled(&vs::url_update, "http://127.0.0.1:2780/version.xml");
    const std::string must = "inform: A new version of the dialdeck needs to be downloaded";
    const std::string ask_v = "ask New Version Available: " + k_offer_11;
    const std::string ask_f = "ask New Flavor Available: " + k_flavor;
    const std::string open = "open https://dl.lab.invalid/get";
    const auto go = version_outcome::go_on, quit = version_outcome::exit_for_download;
    const struct {
        const char* name;
        version_settings settings;
        web_answer answer;
        const char* answers;
        std::vector<std::string> shows;
        version_outcome outcome;
    } rows[] = {
        {"off", off, doc("2.0.0.11"), "", {}, go},
        {"no path", no_path, doc("2.0.0.11"), "", {}, go},
        {"newer, No", on, doc("2.0.0.11"), "n", {ask_v}, go},
        {"newer, needed", on, doc("2.0.0.11", "True"), "", {must, open}, quit},
        {"needed, no download page", no_download, doc("2.0.0.11", "true"), "", {must}, quit},
        {"older", on, doc("2.0.0.5", "true"), "", {}, go},
        {"not XML", on, {true, 200, "\x8f\xfe garbage", {}}, "", {}, go},
        {"same flavor", flavored, doc("2.0.0.6"), "", {}, go},
        {"new flavor, Yes", flavored, doc("2.0.0.6", "false", "pro"), "y", {ask_f, open}, quit},
        {"both No", flavored, doc("2.0.0.11", "false", "pro"), "nn", {ask_v, ask_f}, go},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        scripted_prompts prompts;
        prompts.answers = r.answers;
        int fetches = 0;
        const auto outcome = run_version_check(r.settings, prompts, [&](const web_request&) {
            ++fetches;
            return r.answer;
        });
        EXPECT_EQ(fetches, &r - rows < 2 ? 0 : 1);  // off and no path never fetch
        EXPECT_EQ(outcome, r.outcome);
        EXPECT_EQ(prompts.shown, r.shows);
    }
}

TEST(VersionDialogs, BoxesAndTheirAnswers) {
    std::vector<std::string> opened;
    VersionDialogs dialogs(nullptr, [&](const std::string& url) { opened.push_back(url); });
    const auto click = [](QMessageBox::StandardButton button) {
        return [button](QWidget* box) {
            auto* shown = qobject_cast<QMessageBox*>(box);
            EXPECT_EQ(shown->icon() == QMessageBox::Question, button != QMessageBox::Ok);
            shown->button(button)->click();
        };
    };
    const auto check = [&](const web_answer& answer) {
        return run_version_check(enabled(), dialogs, [&](const web_request&) { return answer; });
    };
    modal_answers boxes({click(QMessageBox::Yes), click(QMessageBox::No), click(QMessageBox::Ok),
                         click(QMessageBox::Ok)},
                        unasked::refuse);
    EXPECT_EQ(check(doc("2.0.0.11")), version_outcome::exit_for_download);
    EXPECT_EQ(opened, std::vector<std::string>{"https://dl.lab.invalid/get"});
    EXPECT_EQ(check(doc("2.0.0.11")), version_outcome::go_on);
    EXPECT_EQ(check(web_answer{}), version_outcome::go_on);
    EXPECT_EQ(check(doc("2.0.0.11", "true")), version_outcome::exit_for_download);
    const QString offer = QString::fromStdString(k_offer_11);
    EXPECT_EQ(boxes.titles, (std::vector<QString>{"New Version Available", "New Version Available",
                                                  "Error", ""}));
    EXPECT_EQ(boxes.texts, (std::vector<QString>{
                               offer, offer, "An error occured trying to reach your web service.",
                               "A new version of the dialdeck needs to be downloaded"}));
}

TEST(VersionCompare, PartsCompareAsNumbers) {
    const std::tuple<const char*, const char*, int> rows[] = {
        {"2.0.0.10", "2.0.0.6", 1},  // numbers, not text
        {"2.0.0.6", "2.0.0.6", 0},
        {"2.0.0.5", "2.0.0.6", -1},
        {"1.9.9.99", "2.0.0.6", -1},
        {"3.0.0.0", "2.0.0.6", 1},
        {"2.0.6", "2.0.0.6", -2},  // three parts
        {"2.0.0.6.1", "2.0.0.6", -2},
        {"", "2.0.0.6", -2},  // no Version element
        {"2.0.0.6", "2.0.6", -2},
        {" 2.0.0.7", "2.0.0.6", 1},                    // atoi skips leading blanks
        {"2.0.0.6beta", "2.0.0.6", 0},                 // and stops at the first non-digit
        {"2.0.0.x", "2.0.0.0", 0},                     // reads as 0
        {"2.0.0.-1", "2.0.0.0", -1},                   // signed
        {"2.0.0.99999999999", "2.0.0.2147483647", 0},  // saturates at 2^31-1
        {"2.0.0.-99999999999", "2.0.0.-2147483648", 0},
        {"2.0.0.99999999999", "2.0.0.2147483646", 1},
    };
    for (const auto& [offered, running, expected] : rows)
        EXPECT_EQ(compare_versions(offered, running, '.', 4), expected)
            << offered << " vs " << running;
    EXPECT_EQ(compare_versions("1,2", "1,3", ',', 2), -1);
}

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
