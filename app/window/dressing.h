// The window's branding settings: WindowDressing (35 fields) and
// ButtonDressing (41 fields), read as comma-separated fields.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fields.h"

namespace dialdeck {

struct place {
    int x = 0, y = 0, width = 0, height = 0;
};

struct rgb {
    int red = 0, green = 0, blue = 0;
};

struct placed_label {
    bool shown = false;
    int x = 0, y = 0;
};

struct window_dressing {
    int width = 0, height = 0;
    std::string caption;
    int phone_width = 0, phone_height = 0;
    place ad;
    rgb background;
    // The menu switches: "1" enables the entry.
    bool close = false, always_on_top = false, tuning_wizard = false, options = false,
         help_topics = false, about = false, recent_list = false, view_account = false,
         view_balance = false, view_rates = false;
    placed_label date_time, call_duration, account;
    rgb label_text;
};

struct dressed_button {
    place where;
    std::string caption;
    std::string url;
};

struct button_dressing {
    std::array<dressed_button, 6> links;
    dressed_button call_timer;  // "Start Call Timer"; its URL is unused
};

inline constexpr size_t k_window_dressing_fields = 35;
inline constexpr size_t k_button_dressing_fields = 41;

// Leading blanks, a sign and digits; anything else reads 0; saturates.
int read_number(std::string_view text);

// Nothing unless the text has exactly the dressing's number of fields.
std::optional<window_dressing> parse_window_dressing(std::string_view text);
std::optional<button_dressing> parse_button_dressing(std::string_view text);

}  // namespace dialdeck
