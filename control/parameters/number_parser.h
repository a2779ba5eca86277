// The one lenient number reader for every numeric parameter: leading blanks,
// an optional "-", "0x" hexadecimal or leading "0" octal with automatic base,
// stopping quietly at the first character that is not a digit. Plain C++ so
// the fuzz build can compile it without Qt.
#pragma once

#include <cstdint>
#include <string_view>

namespace kestrel {

// base 0: automatic. Digits wrap in 32 bits and read back as signed, so no
// text can overflow. With allow_fraction one "." continues the digits and the
// result is divided by base^(fraction digits).
double parse_number(std::string_view text, int base = 0, bool allow_fraction = false);

// parse_number without a fraction, as a 32-bit integer.
int32_t parse_int(std::string_view text, int base = 0);

}  // namespace kestrel
