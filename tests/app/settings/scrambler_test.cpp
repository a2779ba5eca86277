#include "scrambler.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

using dialdeck::scramble;

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
    EXPECT_EQ(scramble("Idle"), "Zefm");  // the settings key is the default

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

}  // namespace
}  // namespace voxline::test
