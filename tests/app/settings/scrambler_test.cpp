#include "scrambler.h"

#include <gtest/gtest.h>

#include <string>

namespace voxline::test {
namespace {

using dialdeck::scramble;

TEST(SettingsScrambler, KnownScramblings) {
    const struct {
        std::string plain, scrambled;
    } cases[] = {
        {"Idle", "Zefm"},
        {"Ad002", "Re:8="},
        {"30", " 1"},
        {"127.0.0.1", "\"3=&?)?%\""},
        {"", ""},
        // Longer than the key stream's 20 states, as the lab scrambles it.
        {"Ann,Lee,2195550100,K7001,lab", "Rod$Cbj'!;(&7%=#6<=M<010'iop"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scramble(c.plain, "quorbel"), c.scrambled) << c.plain;
        EXPECT_EQ(scramble(c.scrambled, "quorbel"), c.plain) << c.plain;
    }
    EXPECT_EQ(scramble("Idle"), "Zefm");  // the settings key is the default
}

TEST(SettingsScrambler, EveryByteRoundTripsUnderAnyKey) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    // Key bytes above 127 are negative: the state index must stay inside 0..19.
    for (const std::string key :
         {"quorbel", "k", "\xff\x80\xfe", "a much longer key than 20 bytes"}) {
        const std::string scrambled = scramble(all, key);
        ASSERT_EQ(scrambled.size(), all.size());
        EXPECT_NE(scrambled, all) << key;
        EXPECT_EQ(scrambled.find('\0'), std::string::npos) << key;
        for (size_t i = 0; i < all.size(); ++i) {
            // Only the five low bits may change.
            EXPECT_EQ(scrambled[i] & ~0x1F, all[i] & ~0x1F) << key << " byte " << i;
        }
        EXPECT_EQ(scramble(scrambled, key), all) << key;
    }
}

}  // namespace
}  // namespace voxline::test
