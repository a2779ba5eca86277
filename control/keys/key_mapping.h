// Which of the phone's 22 keys a keyboard key or a character presses.
// Indexes: 0 the call button, 1..12 the keypad "123456789*0#", 13 delete,
// 14 clear, 15 the hang-up button of two-button mode, 16..21 " -+.()".
#pragma once

#include <cstdint>

namespace kestrel {

inline constexpr int KEY_COUNT = 22;
inline constexpr int KEY_CALL = 0;
inline constexpr int KEY_DELETE = 13;
inline constexpr int KEY_CLEAR = 14;
inline constexpr int KEY_HANGUP = 15;

// The key index of a virtual key with the shift state; -1 for none.
int key_index_of_key(int32_t key, bool shift);

// The key index that types c itself; -1 for none.
int key_index_of_char(char c);

// The character a keypad or text key types (indexes 1..12, 16..21), else 0.
char char_of_key_index(int index);

}  // namespace kestrel
