#include "scrambler.h"

#include <array>
#include <cstdint>
#include <utility>

namespace dialdeck {

namespace {

constexpr int k_state_size = 20;

// Key bytes are signed 8-bit values, so a byte above 127 is negative: the sum is
// reduced to 0..19 so that it always indexes inside the state.
int modulo_state(int value) {
    const int rest = value % k_state_size;
    return rest < 0 ? rest + k_state_size : rest;
}

}  // namespace

std::string scramble(std::string_view text, std::string_view key) {
    std::string out(text);
    if (key.empty()) return out;

    std::array<int, k_state_size> s{};
    for (int i = 0; i < k_state_size; ++i) s[i] = i;
    int j = 0;
    for (int i = 0; i < k_state_size; ++i) {
        const int k = static_cast<int8_t>(key[static_cast<size_t>(i) % key.size()]);
        j = modulo_state(s[i] + k + j);
        std::swap(s[i], s[j]);
    }

    int i = 0;
    j = 0;
    for (char& c : out) {
        i = (i + 1) % k_state_size;
        j = (s[i] + j) % k_state_size;
        std::swap(s[i], s[j]);
        const int k = s[(s[i] + s[j]) % k_state_size];
        const int b = static_cast<int8_t>(c);
        if (k != b) c = static_cast<char>(b ^ k);
    }
    return out;
}

}  // namespace dialdeck
