#include "version_check.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_settings.h"
#include "scrambler.h"
#include "settings_test_support.h"
#include "version_dialogs.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

web_answer got(const QByteArray& body) {
    return {true, 200, body, {}};
}

const std::string k_offer_11 =
    "A different version of software is available.\nWould you like to download the server "
    "version?\n\nYour Version: 2.0.0.6\nDownloadable Version: 2.0.0.11\n\nNOTE: If you are "
    "running an older version,\nnot updating might cause your phone to not function properly.";
const std::string k_flavor =
    "A different flavor of software is available.\nWould you like to download the server "
    "version?\nNew features may be available with this new flavor.";

// Records every box and answers the questions in turn.
struct scripted_prompts : version_prompts {
    std::vector<std::string> shown;
    std::vector<bool> answers;
    std::vector<std::string> opened;
    void error(const std::string& caption, const std::string& text) override {
        shown.push_back("error " + caption + ": " + text);
    }
    void inform(const std::string& text) override { shown.push_back("inform: " + text); }
    bool ask(const std::string& caption, const std::string& text) override {
        shown.push_back("ask " + caption + ": " + text);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return yes;
    }
    void open_url(const std::string& url) override { opened.push_back(url); }
};

QByteArray document(const char* version, const char* need = "false", const char* flavor = "lab") {
    QByteArray doc = "<?xml version=\"1.0\"?><VersionInfo>";
    if (version) doc += QByteArray("<Version>") + version + "</Version>";
    return doc + "<Need>" + need + "</Need><Flavor>" + flavor + "</Flavor></VersionInfo>";
}

version_settings enabled() {
    return {
        "TRUE", "http://127.0.0.1:2780;version.xml", "https://dl.lab.invalid/get", "false", "lab",
        ""};
}

TEST(VersionCheck, RequestTakesHostSchemeElseHttps) {
    web_request plain = version_request("http://127.0.0.1:2780", "v/version.xml", "");
    EXPECT_EQ(plain.url, "http://127.0.0.1:2780/v/version.xml");
    web_request bare = version_request("updates.lab.invalid", "version.xml", "/etc/ca.pem");
    EXPECT_EQ(bare.url, "https://updates.lab.invalid/version.xml");
    EXPECT_EQ(bare.user_agent, "VersionChecker/");
    EXPECT_EQ(bare.timeout_ms, 15000);
    EXPECT_EQ(bare.max_bytes, 64 * 1024);
    EXPECT_EQ(bare.ca_file, "/etc/ca.pem");
}

TEST(VersionCheck, OutcomesAndBoxes) {
    struct row {
        const char* name;
        version_settings settings;
        web_answer answer;
        std::vector<bool> answers;
        std::vector<std::string> shows;
        bool opens;
        version_outcome outcome;
    };
    version_settings flavored = enabled();
    flavored.flavor_enable = "true";
    version_settings no_download = enabled();
    no_download.url_download = "";
    const web_answer down{false, 0, {}, "Connection refused"};
    const std::string unreachable =
        "error Error: An error occured trying to reach your web service.";
    const std::string must = "inform: A new version of the dialdeck needs to be downloaded";
    const std::string ask_v = "ask New Version Available: " + k_offer_11;
    const std::string ask_f = "ask New Flavor Available: " + k_flavor;
    const version_settings on = enabled();
    const auto go = version_outcome::go_on, quit = version_outcome::exit_for_download;
    const auto doc = [](const char* version, const char* need = "false",
                        const char* flavor = "lab") {
        return got(document(version, need, flavor));
    };
    // clang-format off
    const row rows[] = {
        {"newer, No", on, doc("2.0.0.11"), {false}, {ask_v}, false, go},
        {"newer, Yes", on, doc("2.0.0.11"), {true}, {ask_v}, true, quit},
        {"newer, needed", on, doc("2.0.0.11", "True"), {}, {must}, true, quit},
        {"needed, no download page", no_download, doc("2.0.0.11", "true"), {}, {must}, false, quit},
        {"equal, needed", on, doc("2.0.0.6", "true"), {}, {}, false, go},
        {"older", on, doc("2.0.0.5", "true"), {}, {}, false, go},
        {"three parts", on, doc("2.0.7", "true"), {}, {}, false, go},
        {"no Version", on, doc(nullptr, "true"), {}, {}, false, go},
        {"not XML", on, got("\x8f\xfe garbage"), {}, {}, false, go},
        {"unreachable", on, down, {}, {unreachable}, false, go},
        {"unreachable, flavor on", flavored, down, {}, {unreachable}, false, go},
        {"same flavor", flavored, doc("2.0.0.6"), {}, {}, false, go},
        {"new flavor, Yes", flavored, doc("2.0.0.6", "false", "pro"), {true}, {ask_f}, true, quit},
        {"newer No, then flavor No", flavored, doc("2.0.0.11", "false", "pro"), {false, false},
         {ask_v, ask_f}, false, go},
    };
    // clang-format on
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        scripted_prompts prompts;
        prompts.answers = r.answers;
        int fetches = 0;
        const auto outcome = run_version_check(r.settings, prompts, [&](const web_request&) {
            ++fetches;
            return r.answer;
        });
        EXPECT_EQ(fetches, 1);
        EXPECT_EQ(outcome, r.outcome);
        EXPECT_EQ(prompts.shown, r.shows);
        EXPECT_EQ(prompts.opened, r.opens ? std::vector<std::string>{"https://dl.lab.invalid/get"}
                                          : std::vector<std::string>{});
    }
}

TEST(VersionCheck, SkippedWhenOffOrWithoutPath) {
    version_settings off = enabled();
    off.update_enable = "yes";
    version_settings no_path = enabled();
    no_path.url_update = "http://127.0.0.1:2780/version.xml";
    for (const auto& settings : {off, no_path}) {
        scripted_prompts prompts;
        int fetches = 0;
        EXPECT_EQ(run_version_check(settings, prompts,
                                    [&](const web_request&) {
                                        ++fetches;
                                        return web_answer{};
                                    }),
                  version_outcome::go_on);
        EXPECT_EQ(fetches, 0);
        EXPECT_TRUE(prompts.shown.empty());
    }
}

TEST(VersionCheck, SettingsFromConfigFile) {
    temp_folder folder;
    std::filesystem::create_directories(folder.path() + "config");
    std::ofstream ini(config_path(folder.path()), std::ios::binary);
    const auto line = [&](const char* key, const char* value) {
        ini << scramble(key) << "=" << scramble(value) << "\r\n";
    };
    ini << "[Dialdeck]\r\n";
    line("UpdateEnable", "True");
    line("URLUpdate", "http://127.0.0.1:2780;version.xml");
    line("URLDownload", "https://dl.lab.invalid/get");
    line("FlavorEnable", "true");
    line("Flavor", "lab");
    line("CAFile", "certs\\lab ca.pem");
    ini << "[Phone]\r\n";
    line("Port", "2427");
    ini << "[Ads]\r\n";
    line("Ad001", "x");
    ini.close();
    const auto settings = app_settings::load(folder.path());
    ASSERT_TRUE(settings);
    const version_settings read = version_settings_from(*settings);
    EXPECT_EQ(read.update_enable, "True");
    EXPECT_EQ(read.url_update, "http://127.0.0.1:2780;version.xml");
    EXPECT_EQ(read.url_download, "https://dl.lab.invalid/get");
    EXPECT_EQ(read.flavor_enable, "true");
    EXPECT_EQ(read.flavor, "lab");
    // A backslash separates folders; a relative name sits in the application folder.
    EXPECT_EQ(read.ca_file, folder.path() + "certs/lab ca.pem");
}

// Answers the next modal box with a button and keeps what it showed.
struct box_answerer {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    void answer(QMessageBox::StandardButton button) {
        QTimer::singleShot(50, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return answer(button);  // not shown yet
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(button)->click();
        });
    }
};

TEST(VersionDialogs, BoxesAndTheirAnswers) {
    std::vector<std::string> opened;
    VersionDialogs dialogs(nullptr, [&](const std::string& url) { opened.push_back(url); });
    const version_settings settings = enabled();
    const auto fetch_newer = [](const web_request&) { return got(document("2.0.0.11")); };
    for (const bool yes : {true, false}) {
        box_answerer box;
        box.answer(yes ? QMessageBox::Yes : QMessageBox::No);
        const auto outcome = run_version_check(settings, dialogs, fetch_newer);
        EXPECT_EQ(outcome, yes ? version_outcome::exit_for_download : version_outcome::go_on);
        EXPECT_EQ(box.title, "New Version Available");
        EXPECT_EQ(box.text.toStdString(), k_offer_11);
        EXPECT_EQ(box.icon, QMessageBox::Question);
    }
    EXPECT_EQ(opened, std::vector<std::string>{"https://dl.lab.invalid/get"});

    box_answerer error;
    error.answer(QMessageBox::Ok);
    EXPECT_EQ(run_version_check(settings, dialogs, [](const web_request&) { return web_answer{}; }),
              version_outcome::go_on);
    EXPECT_EQ(error.title, "Error");
    EXPECT_EQ(error.text, "An error occured trying to reach your web service.");

    box_answerer must;
    must.answer(QMessageBox::Ok);
    EXPECT_EQ(
        run_version_check(settings, dialogs,
                          [](const web_request&) { return got(document("2.0.0.11", "true")); }),
        version_outcome::exit_for_download);
    EXPECT_EQ(must.title, "");
    EXPECT_EQ(must.text, "A new version of the dialdeck needs to be downloaded");
}

}  // namespace
}  // namespace voxline::test
