#include "ad_entries.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app_settings.h"
#include "atomic_file.h"
#include "scrambler.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

TEST(AdEntries, PairsThenEntries) {
    const std::string f = "/opt/dd/";
    struct row {
        const char* what;
        const char* advertisements;
        std::vector<std::string> ads;
        std::vector<dialdeck::ad_entry> expected;
    };
    // clang-format off
    const row rows[] = {
        {"pairs", "a.gif,5,b.bmp,10", {}, {{f + "a.gif", 5, ""}, {f + "b.bmp", 10, ""}}},
        {"pairs first, then the entries", "p.gif,2", {"q.gif,3,http://lab/q", "", "r.bmp,4"},
         {{f + "p.gif", 2, ""}, {f + "q.gif", 3, "http://lab/q"}, {f + "r.bmp", 4, ""}}},
        {"no time, zero or nonsense: one second", "a.gif,0,b.gif,x,c.gif,-7,d.gif", {"e.gif"},
         {{f + "a.gif", 1, ""}, {f + "b.gif", 1, ""}, {f + "c.gif", 1, ""}, {f + "d.gif", 1, ""},
          {f + "e.gif", 1, ""}}},
        {"a huge time is held to a day", "a.gif,99999999999999999999", {"b.gif,90000"},
         {{f + "a.gif", 86400, ""}, {f + "b.gif", 86400, ""}}},
        {"web pictures unchanged, a link keeps its commas", "",
         {"HTTPS://lab:2743/ads/a.gif, 20 ,http://lab/r?a=1,b=2"},
         {{"HTTPS://lab:2743/ads/a.gif", 20, "http://lab/r?a=1,b=2"}}},
        {"folders and absolute files", "pics\\a.gif,5,/srv/b.gif,6", {},
         {{f + "pics/a.gif", 5, ""}, {"/srv/b.gif", 6, ""}}},
        {"no picture, no entry", ",5, ,6", {",3,http://lab/x", " "}, {}},
    };
    // clang-format on
    for (const row& r : rows)
        EXPECT_EQ(dialdeck::ad_entries(r.advertisements, r.ads, f), r.expected) << r.what;
}

TEST(AdEntries, FromTheSettingsByKeyName) {
    temp_folder folder;
    std::filesystem::create_directories(folder.path() + "config");
    std::string ini = "[Dialdeck]\r\n";
    // File order is not the order shown: Ad001 to Ad999 by name.
    for (const auto& [key, value] : {std::pair{"Advertisements", "a.gif,5"},
                                     {"[Phone]", ""},
                                     {"Port", "2427"},
                                     {"[Ads]", ""},
                                     {"Ad999", "z.gif,9"},
                                     {"Ad010", "k.gif,8"},
                                     {"Ad001", "b.gif,7"}})
        ini += *value ? dialdeck::scramble(key) + "=" + dialdeck::scramble(value) + "\r\n"
                      : std::string(key) + "\r\n";
    ASSERT_TRUE(dialdeck::write_whole_file(dialdeck::config_path(folder.path()), ini));
    const auto settings = dialdeck::app_settings::load(folder.path());
    ASSERT_TRUE(settings);
    const auto& p = folder.path();
    EXPECT_EQ(dialdeck::ad_entries(*settings),
              (std::vector<dialdeck::ad_entry>{{p + "a.gif", 5, ""},
                                               {p + "b.gif", 7, ""},
                                               {p + "k.gif", 8, ""},
                                               {p + "z.gif", 9, ""}}));
}

}  // namespace
}  // namespace voxline::test
