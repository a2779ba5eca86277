#include "util/log_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace voxline::test {
namespace {

TEST(LogQueue, HoldsEightyLinesKeepsLevelsAndCutsTo511Characters) {
    log_queue queue;
    for (int i = 0; i < 81; ++i) queue.post(8, std::to_string(i).c_str());
    EXPECT_EQ(queue.pending_count(), 80);

    std::vector<std::string> got;
    int passes = 0;
    while (queue.drain(5, [&](int, const char* text) { got.emplace_back(text); }) > 0) ++passes;
    EXPECT_EQ(passes, 16);  // five per pass
    ASSERT_EQ(got.size(), 80u);
    EXPECT_EQ(got.front(), "0");
    EXPECT_EQ(got.back(), "79");  // the 81st never reaches the client

    // Drained entries are free again; levels are kept, texts cut to 511 characters.
    queue.post(1, std::string(700, 'a').c_str());
    queue.post(16, "stat");
    std::vector<std::pair<int, std::string>> entries;
    queue.drain(5, [&](int level, const char* text) { entries.emplace_back(level, text); });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].first, 1);
    EXPECT_EQ(entries[0].second.size(), 511u);
    EXPECT_EQ(entries[1], std::make_pair(16, std::string("stat")));
}

}  // namespace
}  // namespace voxline::test
