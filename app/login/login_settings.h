// The login's settings, read from their comma-separated values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fields.h"

namespace dialdeck {

struct login_options {
    bool show_dialog = false;
    bool show_pin = false;
    bool mask_account = false;
    bool mask_pin = false;
};

login_options parse_login_options(std::string_view text);

struct directory_login {
    bool enabled = false;
    std::string address;
    // Nothing when the field is no decimal port of 1-65535.
    std::optional<std::uint16_t> port;
};

directory_login parse_directory_login(std::string_view text);

}  // namespace dialdeck
