#include "util/account_scrambler.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace voxline {
namespace {

namespace km = scramble_key_material;

struct decoded {
    bool ok = false;
    size_t ring_size = 0;
    size_t escapes = 0;
    std::string text;
};

// An independent reading of the layout, as the call agent does it.
decoded unscramble(const std::vector<uint8_t>& data) {
    decoded d;
    if (data.size() < 12 || data[0] != 1 || data[1] != 1) {
        return d;
    }
    uint8_t fields[5];
    for (size_t f = 0; f < 5; ++f) {
        uint8_t tag = data[2 + 2 * f];
        uint8_t value = data[3 + 2 * f];
        uint8_t masked;
        if (tag == 255) {
            masked = value == 1 ? 0 : 255;
        } else {
            if (tag != (f < 3 ? 2 : 1)) {
                return d;
            }
            masked = value;
        }
        fields[f] =
            static_cast<uint8_t>((masked ^ km::header_xor_mask[f]) - km::header_add_mask[f]);
    }
    uint8_t s1 = fields[0], s2 = fields[1], s3 = fields[2];
    d.ring_size = static_cast<size_t>((fields[3] ^ s2) << 8 | (fields[4] ^ s1));
    if (d.ring_size == 0 || 12 + d.ring_size > data.size()) {
        return d;
    }
    size_t position = s3 % d.ring_size;
    auto next = [&] {
        uint8_t b = data[12 + position];
        position = (position + 3) % d.ring_size;
        return b;
    };
    std::vector<uint8_t> plain;
    size_t steps = 0;
    for (size_t i = 0; steps < d.ring_size; ++i) {
        uint8_t c = next();
        ++steps;
        if (c == 255) {
            c = next() == 1 ? 0 : 255;
            ++steps;
            ++d.escapes;
        }
        plain.push_back(static_cast<uint8_t>((c ^ km::key[i % 40] ^ s2) - s1));
        if (plain.size() >= 2 && plain.size() == 2 + (size_t(plain[0]) << 8 | plain[1])) {
            break;
        }
    }
    if (plain.size() < 2) {
        return d;
    }
    d.text.assign(plain.begin() + 2, plain.end());
    d.ok = d.text.size() == (size_t(plain[0]) << 8 | plain[1]);
    return d;
}

std::vector<uint8_t> scramble_bytes(const std::string& text) {
    size_t capacity = 0;
    EXPECT_FALSE(
        scramble(reinterpret_cast<const uint8_t*>(text.data()), text.size(), nullptr, &capacity));
    std::vector<uint8_t> out(capacity);
    EXPECT_TRUE(scramble(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out.data(),
                         &capacity));
    out.resize(capacity);
    return out;
}

TEST(AccountScrambler, SizeQueryAnswersTwiceTheLengthPlus82AndFails) {
    const uint8_t text[] = "12345";
    uint8_t buffer[100];
    for (size_t length : {0u, 5u}) {
        size_t capacity = 0;
        EXPECT_FALSE(scramble(text, length, buffer, &capacity));
        EXPECT_EQ(capacity, 2 * length + 82);
        capacity = 50;
        EXPECT_FALSE(scramble(text, length, nullptr, &capacity));
        EXPECT_EQ(capacity, 2 * length + 82);
    }
    size_t too_small = 20;
    EXPECT_FALSE(scramble(text, 5, buffer, &too_small));
    EXPECT_EQ(too_small, 92u);
}

TEST(AccountScrambler, RoundTripsAndSizesFollowTheEscapeCount) {
    std::string all_bytes;
    for (int b = 0; b < 256; ++b) {
        all_bytes.push_back(static_cast<char>(b));
    }
    const std::vector<std::string> texts = {
        "", "1", "1234", "1234567890", "0000000000000000", std::string(79, '9'), all_bytes,
    };
    for (const auto& text : texts) {
        for (int round = 0; round < 20; ++round) {
            auto out = scramble_bytes(text);
            decoded d = unscramble(out);
            ASSERT_TRUE(d.ok) << "length " << text.size();
            EXPECT_EQ(d.text, text);
            size_t n = 3 * ((d.escapes + text.size() + 5) / 3);
            EXPECT_EQ(d.ring_size, n + 1);
            EXPECT_EQ(out.size(), 10 * ((n + 23) / 10));
            for (size_t i = 12; i < out.size(); ++i) {
                EXPECT_NE(out[i], 0) << "byte " << i;
            }
        }
    }
}

TEST(AccountScrambler, TenCharacterAccountWithoutEscapesGivesSixtyHexCharacters) {
    // Escapes are random; most scramblings of ten characters have none.
    std::set<size_t> lengths;
    for (int round = 0; round < 200; ++round) {
        auto hex = scramble_account("4155551234");
        ASSERT_TRUE(hex.has_value());
        lengths.insert(hex->size());
        EXPECT_EQ(hex->find_first_not_of("0123456789ABCDEF"), std::string::npos);
    }
    EXPECT_TRUE(lengths.count(60));
    for (size_t length : lengths) {
        EXPECT_TRUE(length == 60 || length == 80) << length;
    }
}

TEST(AccountScrambler, TwoScramblingsOfOnePinDiffer) {
    auto first = scramble_account("1234");
    auto second = scramble_account("1234");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
}

TEST(AccountScrambler, RefusesTextsWhoseLengthDoesNotFitTwoCells) {
    std::string huge(scramble_max_length + 1, 'x');
    EXPECT_FALSE(scramble_account(huge).has_value());
    EXPECT_TRUE(scramble_account(std::string(1000, 'x')).has_value());
}

}  // namespace
}  // namespace voxline
