// The version check: its request, outcomes and message boxes. Reading its
// settings is driven end to end, as are the lab's version answers.
#include "version_check.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "modal_answers.h"
#include "version_dialogs.h"

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

}  // namespace
}  // namespace voxline::test
