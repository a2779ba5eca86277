// The keyed stream scrambler of the settings file. It is its own inverse: the
// same call scrambles a plain text and restores a scrambled one.
#pragma once

#include <string>
#include <string_view>

namespace dialdeck {

// Key names and values of Config.ini are scrambled with this key.
inline constexpr std::string_view k_settings_key = "quorbel";

// Same length as the input; only the five low bits of a byte can change. An
// empty key leaves the text unchanged.
std::string scramble(std::string_view text, std::string_view key = k_settings_key);

}  // namespace dialdeck
