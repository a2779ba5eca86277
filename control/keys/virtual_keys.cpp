#include "keys/virtual_keys.h"

#include <array>

namespace kestrel {

namespace {

// The printable keys of a US keyboard: key, unshifted, shifted.
struct layout_key {
    int32_t key;
    char plain;
    char shifted;
};

constexpr std::array<layout_key, 22> k_us_layout{{
    {0x20, ' ', ' '}, {0x30, '0', ')'},  {0x31, '1', '!'}, {0x32, '2', '@'}, {0x33, '3', '#'},
    {0x34, '4', '$'}, {0x35, '5', '%'},  {0x36, '6', '^'}, {0x37, '7', '&'}, {0x38, '8', '*'},
    {0x39, '9', '('}, {0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
    {0xBE, '.', '>'}, {0xBF, '/', '?'},  {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'},
    {0xDD, ']', '}'}, {0xDE, '\'', '"'},
}};

}  // namespace

int32_t key_scan_of_char(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 'A' && c <= 'Z') return KEY_SHIFT_STATE | c;
    if (c == '\r' || c == '\n') return VK_RETURN;
    if (c == '\b') return VK_BACK;
    if (c == 0x1B) return VK_ESCAPE;
    for (const layout_key& k : k_us_layout) {
        if (c == k.plain) return k.key;
        if (c == k.shifted) return KEY_SHIFT_STATE | k.key;
    }
    return -1;
}

char char_of_key(int32_t key, bool shift) {
    if (key >= 'A' && key <= 'Z') return static_cast<char>(shift ? key : key - 'A' + 'a');
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return static_cast<char>('0' + key - VK_NUMPAD0);
    if (key == VK_MULTIPLY) return '*';
    for (const layout_key& k : k_us_layout)
        if (key == k.key) return shift ? k.shifted : k.plain;
    return 0;
}

}  // namespace kestrel
