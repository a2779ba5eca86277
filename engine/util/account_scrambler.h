// Scrambling of the account number and PIN sent in the endpoint information.
// The call agent holds the same key material and undoes it; every scrambling
// of one text gives a different result because of fresh random salts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace voxline {

// Key material shared with the call agent (the operator lab keeps a copy in
// tools/lab/dialdeck_lab/scrambling.py); change both together or not at all.
namespace scramble_key_material {
inline constexpr std::array<uint8_t, 40> key = {
    0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF4, 0x61, 0x9D, 0x06, 0xB8, 0x4F, 0xE2, 0x33, 0x7C,
    0xA9, 0x10, 0xD5, 0x68, 0x8B, 0x2E, 0xF1, 0x47, 0x9A, 0x0C, 0x73, 0xBE, 0x25, 0xD0,
    0x6F, 0x84, 0x19, 0xCA, 0x52, 0xE7, 0x3D, 0xA0, 0x7B, 0x14, 0xC9, 0x86,
};
// Per header field: added first, then exclusive-or.
inline constexpr std::array<uint8_t, 5> header_add_mask = {0x3B, 0x91, 0x5E, 0xC7, 0x24};
inline constexpr std::array<uint8_t, 5> header_xor_mask = {0xA6, 0x1D, 0xF3, 0x48, 0x8C};
}  // namespace scramble_key_material

// Capacity that a size query answers for a text of `length` bytes.
constexpr size_t scramble_capacity_for(size_t length) {
    return 2 * length + 82;
}

// Longest text whose length still fits the two length cells.
constexpr size_t scramble_max_length = 0xFFFF;

// Scrambles `length` bytes of `text` into `output`. With no output or a
// capacity of 0 (a size query), or a capacity too small for the result,
// stores scramble_capacity_for(length) in *capacity and fails. On success
// *capacity holds the number of bytes written.
bool scramble(const uint8_t* text, size_t length, uint8_t* output, size_t* capacity);

// The scrambled form of `text` as upper-case hexadecimal, two characters per
// byte; nothing when the text cannot be scrambled.
std::optional<std::string> scramble_account(std::string_view text);

}  // namespace voxline
