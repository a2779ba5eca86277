// The layout is read back by the lab's unscrambler (tests/lab, through scramble_samples).
#include "util/account_scrambler.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace voxline::test {
namespace {

TEST(AccountScrambler, SizeQueryAnswersTwiceTheLengthPlus82AndFails) {
    const uint8_t text[] = "12345";
    uint8_t buffer[100];
    // Length, with a buffer, the capacity offered.
    const std::tuple<size_t, bool, size_t> cases[] = {
        {0, true, 0}, {0, false, 50}, {5, true, 0}, {5, false, 50}, {5, true, 20}};
    for (const auto& [length, with_buffer, offered] : cases) {
        size_t capacity = offered;
        EXPECT_FALSE(scramble(text, length, with_buffer ? buffer : nullptr, &capacity));
        EXPECT_EQ(capacity, 2 * length + 82) << length << " " << offered;
    }
    EXPECT_FALSE(scramble_account(std::string(0x10000, 'x'))) << "the length must fit two cells";
    EXPECT_TRUE(scramble_account(std::string(1000, 'x')));
}

TEST(AccountScrambler, NoZeroBytesAndFreshSaltsEachTime) {
    std::string all_bytes;
    for (int b = 0; b < 256; ++b) all_bytes.push_back(static_cast<char>(b));
    for (const std::string& text : {std::string(), std::string(16, '0'), all_bytes}) {
        std::set<std::vector<uint8_t>> seen;
        for (int round = 0; round < 20; ++round) {
            size_t capacity = 2 * text.size() + 82;
            std::vector<uint8_t> out(capacity);
            ASSERT_TRUE(scramble(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                 out.data(), &capacity));
            ASSERT_GE(capacity, 12 + text.size() + 2);
            out.resize(capacity);
            EXPECT_EQ(std::pair(out[0], out[1]), std::pair(uint8_t{1}, uint8_t{1}));
            for (size_t i = 12; i < out.size(); ++i) ASSERT_NE(out[i], 0) << "byte " << i;
            seen.insert(out);
        }
        EXPECT_GT(seen.size(), 15u);
    }
}

}  // namespace
}  // namespace voxline::test
