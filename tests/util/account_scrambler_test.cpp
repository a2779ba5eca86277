#include "util/account_scrambler.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace voxline::test {
namespace {

namespace km = scramble_key_material;

struct decoded {
    bool ok = false;
    size_t ring_size = 0, escapes = 0;
    std::string text;
};

// An independent reading of the layout, as the call agent does it.
decoded unscramble(const std::vector<uint8_t>& data) {
    decoded d;
    if (data.size() < 12 || data[0] != 1 || data[1] != 1) return d;
    uint8_t fields[5];
    for (size_t f = 0; f < 5; ++f) {
        const uint8_t tag = data[2 + 2 * f], value = data[3 + 2 * f];
        if (tag != 255 && tag != (f < 3 ? 2 : 1)) return d;
        const uint8_t masked = tag != 255 ? value : value == 1 ? 0 : 255;
        fields[f] =
            static_cast<uint8_t>((masked ^ km::header_xor_mask[f]) - km::header_add_mask[f]);
    }
    const uint8_t s1 = fields[0], s2 = fields[1], s3 = fields[2];
    d.ring_size = static_cast<size_t>((fields[3] ^ s2) << 8 | (fields[4] ^ s1));
    if (d.ring_size == 0 || 12 + d.ring_size > data.size()) return d;
    size_t position = s3 % d.ring_size, steps = 0;
    auto next = [&] {
        const uint8_t b = data[12 + position];
        position = (position + 3) % d.ring_size;
        ++steps;
        return b;
    };
    std::vector<uint8_t> plain;
    for (size_t i = 0; steps < d.ring_size; ++i) {
        uint8_t c = next();
        if (c == 255) {
            c = next() == 1 ? 0 : 255;
            ++d.escapes;
        }
        plain.push_back(static_cast<uint8_t>((c ^ km::key[i % 40] ^ s2) - s1));
        if (plain.size() >= 2 && plain.size() == 2 + (size_t(plain[0]) << 8 | plain[1])) break;
    }
    if (plain.size() < 2) return d;
    d.text.assign(plain.begin() + 2, plain.end());
    d.ok = d.text.size() == (size_t(plain[0]) << 8 | plain[1]);
    return d;
}

TEST(AccountScrambler, SizeQueryAnswersTwiceTheLengthPlus82AndFails) {
    const uint8_t text[] = "12345";
    uint8_t buffer[100];
    const struct {
        size_t length;
        bool buffer;
        size_t capacity;
    } cases[] = {{0, true, 0}, {0, false, 50}, {5, true, 0}, {5, false, 50}, {5, true, 20}};
    for (const auto& c : cases) {
        size_t capacity = c.capacity;
        EXPECT_FALSE(scramble(text, c.length, c.buffer ? buffer : nullptr, &capacity));
        EXPECT_EQ(capacity, 2 * c.length + 82) << c.length << " " << c.capacity;
    }
}

TEST(AccountScrambler, RoundTripsWithoutZeroBytesAndFreshSaltsEachTime) {
    std::string all_bytes;
    for (int b = 0; b < 256; ++b) all_bytes.push_back(static_cast<char>(b));
    for (const std::string& text : {std::string(), std::string("1234"), std::string(79, '9'),
                                    std::string(16, '0'), all_bytes}) {
        std::set<std::vector<uint8_t>> seen;
        for (int round = 0; round < 20; ++round) {
            size_t capacity = 2 * text.size() + 82;
            std::vector<uint8_t> out(capacity);
            ASSERT_TRUE(scramble(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                 out.data(), &capacity));
            out.resize(capacity);
            const decoded d = unscramble(out);
            ASSERT_TRUE(d.ok) << "length " << text.size();
            EXPECT_EQ(d.text, text);
            EXPECT_EQ(d.ring_size % 3, 1u) << "a ring of a multiple of 3 visits cells twice";
            for (size_t i = 12; i < out.size(); ++i) ASSERT_NE(out[i], 0) << "byte " << i;
            seen.insert(out);
        }
        EXPECT_GT(seen.size(), 15u);
    }
}

TEST(AccountScrambler, RefusesTextsWhoseLengthDoesNotFitTwoCells) {
    EXPECT_FALSE(scramble_account(std::string(0x10000, 'x')));
    EXPECT_TRUE(scramble_account(std::string(1000, 'x')));
}

}  // namespace
}  // namespace voxline::test
