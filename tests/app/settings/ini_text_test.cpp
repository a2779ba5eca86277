#include "ini_text.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

using dialdeck::ini_text;

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

}  // namespace
}  // namespace voxline::test
