#include "version_compare.h"

#include <gtest/gtest.h>

#include <tuple>

namespace voxline::test {
namespace {

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
        EXPECT_EQ(dialdeck::compare_versions(offered, running, '.', 4), expected)
            << offered << " vs " << running;
    EXPECT_EQ(dialdeck::compare_versions("1,2", "1,3", ',', 2), -1);
}

}  // namespace
}  // namespace voxline::test
