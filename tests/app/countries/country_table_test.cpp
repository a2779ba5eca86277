#include "country_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../settings/settings_test_support.h"
#include "atomic_file.h"

namespace voxline::test {
namespace {

std::string lines_of(const std::vector<dialdeck::country>& rows) {
    std::string text;
    for (const dialdeck::country& row : rows) text += row.name + ";" + row.code + "\n";
    return text;
}

TEST(CountryTable, ShippedTableHas234RowsInOrder) {
    const auto shipped = dialdeck::read_whole_file(SHIPPED_COUNTRIES);
    ASSERT_TRUE(shipped);
    const auto rows = dialdeck::parse_countries(*shipped);
    EXPECT_EQ(rows.size(), 234u);
    EXPECT_EQ(lines_of(rows), *shipped);  // no line skipped or changed
    // The program's own copy stands in when the file is missing.
    temp_folder empty;
    EXPECT_EQ(lines_of(dialdeck::load_countries(empty.path())), *shipped);
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
    EXPECT_EQ(lines_of(dialdeck::load_countries(folder.path())), "Narnia;12\nLast;3906\n");

    std::ofstream(folder.path() + "countries.txt") << "nothing;valid;\n";
    EXPECT_EQ(dialdeck::load_countries(folder.path()).size(), 234u);
}

TEST(CountryTable, PrefixSearchFindsTheFirstMatch) {
    const auto& rows = dialdeck::builtin_countries();
    for (const auto& [typed, found] : {std::pair{"UNITED K", "United Kingdom"},
                                       {"c", "Cambodia"},
                                       {"Korea (S", "Korea (South)"},
                                       {"zz", ""},
                                       {"", ""}}) {
        const auto index = dialdeck::find_country(rows, typed);
        EXPECT_EQ(index ? rows.at(*index).name : "", found) << typed;
    }
}

}  // namespace
}  // namespace voxline::test
