#include "dressing.h"

#include <algorithm>

#include "directory_protocol.h"

namespace dialdeck {

namespace {

int channel(const std::string& text) {
    return std::clamp(read_number(text), 0, 255);
}

// A size or position below zero means nothing on the screen.
int extent(const std::string& text) {
    return std::max(read_number(text), 0);
}

bool on(const std::string& text) {
    return text == "1";
}

place place_at(const std::vector<std::string>& f, size_t first) {
    return {read_number(f[first]), read_number(f[first + 1]), extent(f[first + 2]),
            extent(f[first + 3])};
}

}  // namespace

int read_number(std::string_view text) {
    return parse_directory_number(text);
}

std::optional<window_dressing> parse_window_dressing(std::string_view text) {
    const auto f = split_fields(text);
    if (f.size() != k_window_dressing_fields) return std::nullopt;
    window_dressing d;
    d.width = extent(f[0]);
    d.height = extent(f[1]);
    d.caption = f[2];
    d.phone_width = extent(f[3]);
    d.phone_height = extent(f[4]);
    d.ad = place_at(f, 5);
    d.background = {channel(f[9]), channel(f[10]), channel(f[11])};
    // Field 13 names an entry the menu does not have.
    d.close = on(f[12]);
    d.always_on_top = on(f[14]);
    d.tuning_wizard = on(f[15]);
    d.options = on(f[16]);
    d.help_topics = on(f[17]);
    d.about = on(f[18]);
    d.date_time = {on(f[19]), read_number(f[20]), read_number(f[21])};
    d.call_duration = {on(f[22]), read_number(f[23]), read_number(f[24])};
    d.account = {on(f[25]), read_number(f[26]), read_number(f[27])};
    d.label_text = {channel(f[28]), channel(f[29]), channel(f[30])};
    d.recent_list = on(f[31]);
    d.view_account = on(f[32]);
    d.view_balance = on(f[33]);
    d.view_rates = on(f[34]);
    return d;
}

std::optional<button_dressing> parse_button_dressing(std::string_view text) {
    const auto f = split_fields(text);
    if (f.size() != k_button_dressing_fields) return std::nullopt;
    button_dressing d;
    for (size_t i = 0; i < d.links.size(); ++i) {
        const size_t first = i * 6;
        d.links[i] = {place_at(f, first), f[first + 4], f[first + 5]};
    }
    d.call_timer = {place_at(f, 36), f[40], {}};
    return d;
}

}  // namespace dialdeck
