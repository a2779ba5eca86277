#include "keys/key_mapping.h"

#include <array>
#include <cstring>

#include "keys/virtual_keys.h"

namespace kestrel {

namespace {

constexpr char k_keypad[] = "123456789*0#";  // indexes 1..12
constexpr char k_text_keys[] = " -+.()";     // indexes 16..21

struct fixed_key {
    int32_t key;
    int index;
};

// Keys that press one phone key whatever the shift state.
constexpr std::array<fixed_key, 9> k_fixed{{
    {VK_RETURN, KEY_CALL},
    {VK_BACK, KEY_DELETE},
    {VK_ESCAPE, KEY_CLEAR},
    {VK_CLEAR, KEY_CLEAR},
    {VK_OEM_CLEAR, KEY_CLEAR},
    {VK_SPACE, 16},
    {VK_OEM_MINUS, 17},
    {VK_OEM_PLUS, 18},
    {VK_OEM_PERIOD, 19},
}};

// Letters as on a telephone keypad: A-C 2 ... W-Z 9.
constexpr char k_letter_digits[] = "22233344455566677778889999";

}  // namespace

int key_index_of_char(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') c = k_letter_digits[c - 'A'];
    if (c == '=') c = '+';  // the key bearing "+"
    if (c == 0) return -1;
    if (const char* at = std::strchr(k_keypad, c)) return static_cast<int>(at - k_keypad) + 1;
    if (const char* at = std::strchr(k_text_keys, c))
        return static_cast<int>(at - k_text_keys) + 16;
    return -1;
}

int key_index_of_key(int32_t key, bool shift) {
    for (const fixed_key& f : k_fixed)
        if (f.key == key) return f.index;
    if (key >= 'A' && key <= 'Z') return key_index_of_char(static_cast<char>(key));
    return key_index_of_char(char_of_key(key, shift));
}

char char_of_key_index(int index) {
    if (index >= 1 && index <= 12) return k_keypad[index - 1];
    if (index >= 16 && index <= 21) return k_text_keys[index - 16];
    return 0;
}

}  // namespace kestrel
