#include "country_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../settings/settings_test_support.h"
#include "atomic_file.h"

namespace voxline::test {
namespace {

using dialdeck::country;

const country* named(const std::vector<country>& rows, const std::string& name) {
    for (const country& row : rows) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

TEST(CountryTable, ShippedTableHas234RowsInOrder) {
    const auto shipped = dialdeck::read_whole_file(SHIPPED_COUNTRIES);
    ASSERT_TRUE(shipped);
    const auto rows = dialdeck::parse_countries(*shipped);
    ASSERT_EQ(rows.size(), 234u);
    EXPECT_EQ(std::count(shipped->begin(), shipped->end(), '\n'), 234);  // no line was skipped
    EXPECT_EQ(rows.front().name + ";" + rows.front().code, "Afghanistan;93");
    EXPECT_EQ(rows.back().name + ";" + rows.back().code, "Zimbabwe;263");
    ASSERT_TRUE(named(rows, "Canada"));
    EXPECT_EQ(named(rows, "Canada")->code, "1");
    ASSERT_TRUE(named(rows, "Vatican City"));
    EXPECT_EQ(named(rows, "Vatican City")->code, "3906");

    // The program's own copy is the shipped file, and stands in when the file is missing.
    temp_folder empty;
    const auto builtin = dialdeck::load_countries(empty.path());
    ASSERT_EQ(builtin.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(builtin[i].name + ";" + builtin[i].code, rows[i].name + ";" + rows[i].code);
    }
}

TEST(CountryTable, BadLinesAreSkipped) {
    temp_folder folder;
    std::ofstream(folder.path() + "countries.txt") << "Narnia;12\r\n"
                                                      "no separator\n"
                                                      ";44\n"
                                                      "Nameless code;\n"
                                                      "Letters;12a\n"
                                                      "Too long;123456789\n"
                                                      "Tab\tName;7\n"
                                                      "\n"
                                                      "Last;3906";
    const auto rows = dialdeck::load_countries(folder.path());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name + ";" + rows[0].code, "Narnia;12");
    EXPECT_EQ(rows[1].name + ";" + rows[1].code, "Last;3906");

    std::ofstream(folder.path() + "countries.txt") << "nothing;valid;\n";
    EXPECT_EQ(dialdeck::load_countries(folder.path()).size(), 234u);
}

TEST(CountryTable, PrefixSearchFindsTheFirstMatch) {
    const auto& rows = dialdeck::builtin_countries();
    const struct {
        const char* typed;
        const char* found;
    } cases[] = {
        {"uni", "United Arab Emirates"},
        {"UNITED K", "United Kingdom"},
        {"c", "Cambodia"},
        {"Korea (S", "Korea (South)"},
        {"zz", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto index = dialdeck::find_country(rows, c.typed);
        if (!c.found) {
            EXPECT_FALSE(index) << c.typed;
        } else {
            ASSERT_TRUE(index) << c.typed;
            EXPECT_EQ(rows[*index].name, c.found);
        }
    }
}

}  // namespace
}  // namespace voxline::test
