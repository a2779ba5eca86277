#include "app_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app_folder.h"
#include "atomic_file.h"
#include "ini_text.h"
#include "scrambler.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::app_settings;
using dialdeck::scramble;

// Config.ini text holding the given plain keys and values, scrambled.
std::string config_with(const std::vector<std::array<std::string, 3>>& entries) {
    std::string text;
    for (const auto& [section, key, value] : entries)
        text = *dialdeck::ini_text(text).with_value(section, scramble(key), scramble(value));
    return text;
}

void put_config(const temp_folder& folder, const std::string& text) {
    std::filesystem::create_directories(folder.path() + "config");
    ASSERT_TRUE(dialdeck::write_whole_file(dialdeck::config_path(folder.path()), text));
}

TEST(AppSettings, MissingFileOrSectionsStopTheStartUp) {
    const std::string three = config_with(
        {{"Dialdeck", "Idle", "5"}, {"Phone", "Port", "2727"}, {"Ads", "Ad001", "a.bmp,5"}});
    const struct {
        const char* what;
        std::optional<std::string> text;
        bool loads;
    } cases[] = {
        {"no file", std::nullopt, false},
        {"Dialdeck and Phone only",
         config_with({{"Dialdeck", "Idle", "5"}, {"Phone", "Port", "2727"}}), false},
        {"Ads without a key line", three.substr(0, three.rfind("[Ads]")) + "[Ads]\r\n", false},
        {"all three", three, true},
    };
    for (const auto& c : cases) {
        temp_folder folder;
        if (c.text) put_config(folder, *c.text);
        EXPECT_EQ(app_settings::load(folder.path()).has_value(), c.loads) << c.what;
    }
    EXPECT_EQ(dialdeck::k_config_missing_exit_code, 0);
}

TEST(AppSettings, ReadsUnscrambledWritesScrambledPrivateAndWithoutNewLines) {
    temp_folder folder;
    put_config(folder, "; comment\r\n" + config_with({{"Dialdeck", "Idle", "5"},
                                                      {"Dialdeck", "CAFile", "certs\\lab-ca.pem"},
                                                      {"Phone", "Port", "2727"},
                                                      {"Phone", "CallManager", "127.0.0.1"},
                                                      {"Ads", "Ad002", "ad2.bmp"}}));
    ::chmod(dialdeck::config_path(folder.path()).c_str(), 0644);
    auto settings = app_settings::load(folder.path());
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->dialdeck("CAFile"), "certs\\lab-ca.pem");
    EXPECT_EQ(settings->dialdeck("State"), "");  // absent
    EXPECT_EQ(settings->value("Ads", "Ad002"), "ad2.bmp");
    const auto phone = settings->phone_values();
    ASSERT_EQ(phone.size(), 45u);
    EXPECT_EQ(phone.front(), (std::pair<std::string, std::string>{"Port", "2727"}));
    EXPECT_EQ(phone[13], (std::pair<std::string, std::string>{"CallManager", "127.0.0.1"}));
    EXPECT_EQ(phone.back().first, "EnableTwoButton");
    EXPECT_EQ(settings->scratch_lines().front(), "Dialdeck");

    ASSERT_TRUE(settings->write("Dialdeck", "State", "Ann,Lee,2195550100"));
    EXPECT_TRUE(settings->write("Phone", "CASPin", "1234"));
    EXPECT_FALSE(settings->write("Dialdeck", "State", "x\r\n[Phone]"));
    EXPECT_EQ(settings->dialdeck("State"), "Ann,Lee,2195550100");
    const auto text = dialdeck::read_whole_file(dialdeck::config_path(folder.path()));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("; comment\r\n[Dialdeck]\r\nZefm=", 0), 0u);
    EXPECT_NE(text->find(scramble("State") + "=" + scramble("Ann,Lee,2195550100") + "\r\n"),
              std::string::npos);
    EXPECT_EQ(settings->reread("Phone", "CASPin"), "1234");
    EXPECT_EQ(app_settings::load(folder.path())->dialdeck("Idle"), "5");
    EXPECT_EQ(std::filesystem::status(dialdeck::config_path(folder.path())).permissions(),
              std::filesystem::perms(0600));
}

TEST(AppFolder, OrderAndInstalledDefaults) {
    temp_folder portable;
    put_config(portable, "[Dialdeck]\n");
    const std::string bare = "/nonexistent/bin";
    const struct {
        dialdeck::folder_sources sources;
        std::string folder;
    } cases[] = {
        {{"/opt/dd", portable.path(), "/x", "/home/u"}, "/opt/dd/"},
        {{"", portable.path(), "/x", "/home/u"}, portable.path()},
        {{"", bare, "/x/", "/home/u"}, "/x/dialdeck/"},
        {{"", bare, "", "/home/u"}, "/home/u/.config/dialdeck/"},
    };
    for (const auto& c : cases) EXPECT_EQ(dialdeck::application_folder(c.sources), c.folder);
    EXPECT_EQ(dialdeck::user_folder({"", "/opt/dd/bin/", "/x/conf", "/home/u"}),
              "/x/conf/dialdeck/");
    EXPECT_EQ(dialdeck::application_file("/a/", "help\\Help.html"), "/a/help/Help.html");
    EXPECT_EQ(dialdeck::application_file("/a/", "/etc/ca.pem"), "/etc/ca.pem");
    EXPECT_EQ(dialdeck::installed_defaults("/opt/dd/bin/"),
              "/opt/dd/share/dialdeck/config/Config.ini");
    EXPECT_EQ(dialdeck::installed_defaults("/work/build/bin"),
              "/work/build/share/dialdeck/config/Config.ini");
}

TEST(AppFolder, DefaultsCopiedOnlyIntoAFolderWithoutSettings) {
    const std::string defaults_text = "[Dialdeck]\r\nab=cd\r\n\r\n[Phone]\r\n\r\n[Ads]\r\nef=1\r\n";
    const std::string own_text = "[Dialdeck]\r\nown=settings\r\n";
    const struct {
        std::string defaults, own, after;  // empty: no file
        unsigned mode;
    } cases[] = {{defaults_text, "", defaults_text, 0600},  // a fresh user folder
                 {defaults_text, own_text, own_text, 0640},
                 {"", "", "", 0}};
    for (const auto& c : cases) {
        temp_folder root;
        const std::string defaults = root.path() + "share/dialdeck/config/Config.ini";
        // Below folders that do not exist yet, as ~/.config/dialdeck/ in a new account.
        const std::string user = root.path() + "home/.config/dialdeck/";
        const std::string config = dialdeck::config_path(user);
        for (const auto& [path, text] : {std::pair{defaults, c.defaults}, {config, c.own}}) {
            if (text.empty()) continue;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            ASSERT_TRUE(dialdeck::write_whole_file(path, text));
            ::chmod(path.c_str(), 0640);
        }
        EXPECT_EQ(dialdeck::copy_installed_defaults(defaults, user), c.mode == 0600);
        EXPECT_EQ(dialdeck::read_whole_file(config).value_or(""), c.after);
        struct stat info {};
        EXPECT_EQ(::stat(config.c_str(), &info) == 0 ? info.st_mode & 0777 : 0u, c.mode);
    }
}

}  // namespace
}  // namespace voxline::test
