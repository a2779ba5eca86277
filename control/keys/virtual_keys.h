// Windows virtual-key numbers, which the control's key handling and the
// ExecuteCommand key commands speak, and the US keyboard layout that turns
// characters into keys and back. Plain C++ (no Qt).
#pragma once

#include <cstdint>

namespace kestrel {

enum virtual_key : int32_t {
    VK_BACK = 0x08,
    VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,  // Page Up
    VK_NEXT = 0x22,   // Page Down
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD9 = 0x69,
    VK_MULTIPLY = 0x6A,
    VK_F6 = 0x75,
    VK_F7 = 0x76,
    VK_F8 = 0x77,
    VK_F9 = 0x78,
    VK_OEM_PLUS = 0xBB,
    VK_OEM_MINUS = 0xBD,
    VK_OEM_PERIOD = 0xBE,
    VK_OEM_CLEAR = 0xFE,
};

// The high byte of a scanned key: bit 0 Shift, bit 1 Ctrl.
inline constexpr int32_t KEY_SHIFT_STATE = 0x100;
inline constexpr int32_t KEY_CTRL_STATE = 0x200;

// The key and shift state that type c on a US keyboard (low byte the key,
// high byte the state); -1 for a character no key types.
int32_t key_scan_of_char(char c);

// The character a key types on a US keyboard, 0 for none.
char char_of_key(int32_t key, bool shift);

}  // namespace kestrel
