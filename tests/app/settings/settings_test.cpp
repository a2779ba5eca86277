// The settings file: its text byte for byte, the scrambler, loading and writing
// the settings, the application folder, and writers killed at random moments or
// running in different processes, which never tear or lose a file or a key.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app_folder.h"
#include "app_settings.h"
#include "atomic_file.h"
#include "ini_text.h"
#include "scrambler.h"
#include "settings_file.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

// Config.ini text holding the given plain keys and values, scrambled.
std::string config_with(const std::vector<std::array<std::string, 3>>& entries) {
    std::string text;
    for (const auto& [section, key, value] : entries)
        text = *ini_text(text).with_value(section, scramble(key), scramble(value));
    return text;
}

void put_config(const temp_folder& folder, const std::string& text) {
    std::filesystem::create_directories(folder.path() + "config");
    ASSERT_TRUE(write_whole_file(config_path(folder.path()), text));
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
    EXPECT_EQ(k_config_missing_exit_code, 0);
}

TEST(AppSettings, ReadsUnscrambledWritesScrambledPrivateAndWithoutNewLines) {
    temp_folder folder;
    put_config(folder, "; comment\r\n" + config_with({{"Dialdeck", "Idle", "5"},
                                                      {"Dialdeck", "CAFile", "certs\\lab-ca.pem"},
                                                      {"Phone", "Port", "2727"},
                                                      {"Phone", "CallManager", "127.0.0.1"},
                                                      {"Ads", "Ad002", "ad2.bmp"}}));
    ::chmod(config_path(folder.path()).c_str(), 0644);
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
    const auto text = read_whole_file(config_path(folder.path()));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("; comment\r\n[Dialdeck]\r\nZefm=", 0), 0u);
    EXPECT_NE(text->find(scramble("State") + "=" + scramble("Ann,Lee,2195550100") + "\r\n"),
              std::string::npos);
    EXPECT_EQ(settings->reread("Phone", "CASPin"), "1234");
    EXPECT_EQ(app_settings::load(folder.path())->dialdeck("Idle"), "5");
    EXPECT_EQ(std::filesystem::status(config_path(folder.path())).permissions(),
              std::filesystem::perms(0600));
}

TEST(AppFolder, OrderAndInstalledDefaults) {
    temp_folder portable;
    put_config(portable, "[Dialdeck]\n");
    const std::string bare = "/nonexistent/bin";
    const struct {
        folder_sources sources;
        std::string folder;
    } cases[] = {
        {{"/opt/dd", portable.path(), "/x", "/home/u"}, "/opt/dd/"},
        {{"", portable.path(), "/x", "/home/u"}, portable.path()},
        {{"", bare, "/x/", "/home/u"}, "/x/dialdeck/"},
        {{"", bare, "", "/home/u"}, "/home/u/.config/dialdeck/"},
    };
    for (const auto& c : cases) EXPECT_EQ(application_folder(c.sources), c.folder);
    EXPECT_EQ(user_folder({"", "/opt/dd/bin/", "/x/conf", "/home/u"}), "/x/conf/dialdeck/");
    EXPECT_EQ(application_file("/a/", "help\\Help.html"), "/a/help/Help.html");
    EXPECT_EQ(application_file("/a/", "/etc/ca.pem"), "/etc/ca.pem");
    EXPECT_EQ(installed_defaults("/opt/dd/bin/"), "/opt/dd/share/dialdeck/config/Config.ini");
    EXPECT_EQ(installed_defaults("/work/build/bin"),
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
        const std::string config = config_path(user);
        for (const auto& [path, text] : {std::pair{defaults, c.defaults}, {config, c.own}}) {
            if (text.empty()) continue;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            ASSERT_TRUE(write_whole_file(path, text));
            ::chmod(path.c_str(), 0640);
        }
        EXPECT_EQ(copy_installed_defaults(defaults, user), c.mode == 0600);
        EXPECT_EQ(read_whole_file(config).value_or(""), c.after);
        struct stat info {};
        EXPECT_EQ(::stat(config.c_str(), &info) == 0 ? info.st_mode & 0777 : 0u, c.mode);
    }
}

TEST(SettingsScrambler, KnownScramblingsAndEveryByteRoundTripsUnderAnyKey) {
    for (const auto& [plain, scrambled] : {
             std::pair<std::string, std::string>{"Idle", "Zefm"},
             {"Ad002", "Re:8="},
             {"127.0.0.1", "\"3=&?)?%\""},
             {"", ""},
             // Longer than the key stream's 20 states, as the lab scrambles it.
             {"Ann,Lee,2195550100,K7001,lab", "Rod$Cbj'!;(&7%=#6<=M<010'iop"},
         }) {
        EXPECT_EQ(scramble(plain, "quorbel"), scrambled) << plain;
        EXPECT_EQ(scramble(scrambled, "quorbel"), plain) << plain;
    }

    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    // Key bytes above 127 are negative: the state index must stay inside 0..19.
    for (const std::string key :
         {"quorbel", "k", "\xff\x80\xfe", "a much longer key than 20 bytes"}) {
        const std::string scrambled = scramble(all, key);
        EXPECT_NE(scrambled, all) << key;
        EXPECT_EQ(scramble(scrambled, key), all) << key;
        // Only the five low bits may change, and never to a NUL.
        for (size_t i = 0; i < all.size(); ++i)
            ASSERT_TRUE(scrambled.at(i) && (scrambled[i] & ~0x1F) == (all[i] & ~0x1F)) << key << i;
    }
}

const std::string k_sample =
    "lead=before any section\r\n"
    "[Dialdeck]\r\n"
    "Zefm=  \"quoted\" ; kept\r\n"
    "Re:8==v=1\r\n"
    "no equals here\r\n"
    "ZEFM=shadowed\r\n"
    "[dialdeck]\n"
    "Only=in the second\n"
    "[Empty]\n"
    "a line without a key\n"
    "[Ads]\n"
    "[Phone]\n"
    "Port=2727\n"
    "Tabbed= \tx \n"
    "Last=no line end";

TEST(IniText, ReadsValuesByteExactAndSectionsWithAKeyLine) {
    const ini_text ini(k_sample);
    const char* const cases[][3] = {
        {"Dialdeck", "Zefm", "  \"quoted\" ; kept"},  // never trimmed or unquoted
        {"DIALDECK", "zEFM", "  \"quoted\" ; kept"},  // ASCII case ignored, first line wins
        {"Dialdeck", "Re:8=", "v=1"},                 // a name may end in "="
        {"Dialdeck", "Re:8", "=v=1"},                 // the rest of the line after name "="
        {"Dialdeck", "Zef", ""},                      // a name is matched whole
        {"Dialdeck", "lead", ""},                     // lines before a section belong to none
        {"Dialdeck", "Only", ""},                     // the first section of a name wins
        {"Dialdeck", "no equals here", ""},           // lines without "=" never match
        {"Dialdeck", "", ""},
        {"Phone", "Port", "2727"},  // LF line ends
        {"Phone", "Tabbed", " \tx "},
        {"Phone", "Last", "no line end"},
        {"Missing", "Port", ""},
    };
    for (const auto& [section, key, value] : cases)
        EXPECT_EQ(ini.read_value(section, key), value) << section << "/" << key;
    for (const char* name : {"Dialdeck", "phone"}) EXPECT_TRUE(ini.has_section(name)) << name;
    for (const char* name : {"Empty", "Ads", "Missing"})
        EXPECT_FALSE(ini.has_section(name)) << name;
    EXPECT_EQ(ini.section_names(),
              (std::vector<std::string>{"Dialdeck", "dialdeck", "Empty", "Ads", "Phone"}));
    EXPECT_EQ(ini.section_lines("Dialdeck"),
              (std::vector<std::string>{"Zefm=  \"quoted\" ; kept", "Re:8==v=1", "ZEFM=shadowed"}));
}

TEST(IniText, WritesChangeOnlyTheirLine) {
    const char* const cases[][5] = {
        // before, section, key, value, after
        {"[A]\r\nk=old\r\nx\r\n;c\r\n", "A", "k", "new", "[A]\r\nk=new\r\nx\r\n;c\r\n"},
        {"[A]\nKEY=1\n", "a", "key", "2", "[A]\nKEY=2\n"},  // the name keeps its spelling
        {"[A]\nk=1\n\n[B]\nm=2\n", "A", "n", "3", "[A]\nk=1\nn=3\n\n[B]\nm=2\n"},
        {"[A]\nk=1\n[A]\nk=2\n", "A", "k", "9", "[A]\nk=9\n[A]\nk=2\n"},
        {"[A]\r\nk=1", "B", "m", "2", "[A]\r\nk=1\r\n[B]\r\nm=2\r\n"},
        {"[A]\nk=1", "A", "m", "2", "[A]\nk=1\nm=2\n"},
        {"[A]\nk=1\r", "A", "m", "2", "[A]\nk=1\r\r\nm=2\n"},  // k keeps its lone CR
        {"", "A", "k", "v", "[A]\r\nk=v\r\n"},
        {"[A]\n", "A", "Re:8=", " \"=\" ", "[A]\nRe:8== \"=\" \n"},
        {"[A]\nk=\n", "A", "k", "", "[A]\nk=\n"},
    };
    for (const auto& [before, section, key, value, expected] : cases) {
        const auto after = ini_text(before).with_value(section, key, value);
        ASSERT_TRUE(after) << before;
        EXPECT_EQ(*after, expected) << before;
        EXPECT_EQ(ini_text(*after).read_value(section, key), value) << before;
    }
}

TEST(IniText, ValuesStopAt1999BytesWritesNeverAddLines) {
    const ini_text ini("[A]\nk=1\n");
    const struct {
        std::string section, key, value;
    } refused[] = {
        {"A", "k", "1\n[B]"}, {"A", "k", "1\r"}, {"A", "k", std::string("a\0b", 3)},
        {"A", "k", "\t"},     {"A", "k\n", "1"}, {"A\n", "k", "1"},
        {"A]", "k", "1"},     {"A", "", "1"},    {"A", "k", std::string(2000, 'v')},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(ini.with_value(r.section, r.key, r.value)) << r.section << "/" << r.key;
    EXPECT_TRUE(ini.with_value("A", "k", std::string(1999, 'v')));
    EXPECT_EQ(ini_text("[A]\nk=" + std::string(2500, 'v')).read_value("A", "k"),
              std::string(1999, 'v'));  // longer values read cut
}

std::string state_value(int n) {
    return "v" + std::to_string(n) + "," + std::string(1500, 'x');
}

TEST(SettingsDataLoss, KilledWritersLeaveTheOldOrTheNewFile) {
    temp_folder folder;
    const std::string config = folder.path() + "Config.ini";
    const std::string base =
        "[Dialdeck]\r\nIdle=5\r\nState=" + state_value(0) + "\r\n\r\n[Phone]\r\nPort=2727\r\n";
    ASSERT_TRUE(write_whole_file(config, base));

    std::mt19937 random(15);
    std::uniform_int_distribution<int> delay_us(0, 6000);
    std::set<std::string> versions;
    for (int round = 1; round <= 200; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            const settings_file file(config);
            for (int n = round * 1000;; ++n) file.write_value("Dialdeck", "State", state_value(n));
        }
        ::usleep(static_cast<useconds_t>(delay_us(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);

        const auto text = read_whole_file(config);
        ASSERT_TRUE(text) << "round " << round;
        const std::string state = ini_text(*text).read_value("Dialdeck", "State");
        ASSERT_EQ(*text, *ini_text(base).with_value("Dialdeck", "State", state))
            << "round " << round;
        ASSERT_EQ(state, state_value(std::stoi(state.substr(1)))) << "round " << round;
        versions.insert(state);
    }
    EXPECT_GT(versions.size(), 1u);  // the kills fell amid real rewrites
    // Each killed writer left at most its own temporary file, cleared by the next writer.
    int temporaries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        temporaries += entry.path().filename().string().rfind("Config.ini.tmp-", 0) == 0;
    EXPECT_LE(temporaries, 1);
}

TEST(SettingsDataLoss, ConcurrentWritersKeepEachOthersKeys) {
    temp_folder folder;
    const settings_file file(folder.path() + "Config.ini");
    ASSERT_TRUE(file.write_value("Phone", "Port", "2727"));
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        if ((children[c] = ::fork()) != 0) continue;
        bool ok = true;
        for (int k = 0; k < 20; ++k)
            ok &=
                file.write_value("Dialdeck", char('a' + c) + std::to_string(k), std::to_string(k));
        ::_exit(ok ? 0 : 1);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(file.read_value("Dialdeck", char('a' + k / 20) + std::to_string(k % 20)),
                  std::to_string(k % 20));
    EXPECT_EQ(file.section_lines("Dialdeck").size(), 40u);
    EXPECT_EQ(file.read_value("Phone", "Port"), "2727");
}

}  // namespace
}  // namespace voxline::test
