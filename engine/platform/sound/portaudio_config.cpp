#include "platform/sound/portaudio_config.h"

#include <charconv>

namespace voxline {
namespace {

enum key_index { key_in, key_out, key_rate };
constexpr std::string_view k_keys[] = {"in=", "out=", "rate="};

bool starts_with_key(std::string_view text) {
    for (std::string_view key : k_keys)
        if (text.starts_with(key)) return true;
    return false;
}

// The end of the item that starts `text`: the first comma that opens another key.
size_t item_end(std::string_view text) {
    for (size_t comma = text.find(','); comma != std::string_view::npos;
         comma = text.find(',', comma + 1)) {
        if (starts_with_key(text.substr(comma + 1))) return comma;
    }
    return text.size();
}

bool parse_rate(std::string_view value, uint32_t& rate) {
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), rate);
    return !value.empty() && error == std::errc{} && end == value.data() + value.size() &&
           rate >= k_portaudio_min_rate && rate <= k_portaudio_max_rate;
}

}  // namespace

bool parse_portaudio_config(std::string_view text, portaudio_config& config, std::string& error) {
    config = {};
    if (text.ends_with(',')) {
        error = "trailing comma";
        return false;
    }
    bool seen[std::size(k_keys)] = {};
    while (!text.empty()) {
        const size_t end = item_end(text);
        const std::string_view item = text.substr(0, end);
        text = end == text.size() ? std::string_view{} : text.substr(end + 1);
        size_t index = 0;
        while (index < std::size(k_keys) && !item.starts_with(k_keys[index])) ++index;
        if (index == std::size(k_keys)) {
            error = "unknown option \"" + std::string(item) + "\"";
            return false;
        }
        if (seen[index]) {
            error = "option " + std::string(k_keys[index]) + " given twice";
            return false;
        }
        seen[index] = true;
        const std::string_view value = item.substr(k_keys[index].size());
        if (index == key_rate) {
            if (!parse_rate(value, config.rate)) {
                error = "rate must be a whole number of Hz from 8000 to 192000";
                return false;
            }
            continue;
        }
        if (value.empty()) {
            error = std::string(k_keys[index]) + " needs a device name";
            return false;
        }
        (index == key_in ? config.input_name : config.output_name) = value;
    }
    return true;
}

}  // namespace voxline
