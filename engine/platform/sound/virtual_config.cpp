#include "platform/sound/virtual_config.h"

#include <charconv>
#include <cmath>

namespace voxline {
namespace {

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

bool parse_mic(std::string_view value, virtual_config& config, std::string& error) {
    if (value == "silence") {
        config.mic = virtual_mic_kind::silence;
        return true;
    }
    if (value.starts_with("tone:")) {
        std::string_view rest = value.substr(5);
        const size_t colon = rest.find(':');
        config.tone_peak = k_virtual_tone_peak;
        if (colon != std::string_view::npos &&
            (!parse_number(rest.substr(colon + 1), config.tone_peak) || config.tone_peak < 0 ||
             config.tone_peak > 32767)) {
            error = "tone peak must be 0..32767";
            return false;
        }
        // Above 4000 Hz an 8 kHz tone folds back; NaN and infinity are no frequencies.
        if (!parse_number(rest.substr(0, colon), config.tone_hz) ||
            !std::isfinite(config.tone_hz) || config.tone_hz <= 0 || config.tone_hz >= 4000) {
            error = "tone frequency must be above 0 and below 4000 Hz";
            return false;
        }
        config.mic = virtual_mic_kind::tone;
        return true;
    }
    if (value.empty()) {
        error = "mic needs a WAV file, tone:HZ[:PEAK] or silence";
        return false;
    }
    config.mic = virtual_mic_kind::wav;
    config.mic_file = value;
    return true;
}

bool parse_echo(std::string_view value, virtual_config& config, std::string& error) {
    const size_t colon = value.find(':');
    if (colon == std::string_view::npos ||
        !parse_number(value.substr(0, colon), config.echo_delay_ms) || config.echo_delay_ms < 0 ||
        config.echo_delay_ms > k_virtual_max_echo_ms ||
        !parse_number(value.substr(colon + 1), config.echo_atten_db) ||
        !std::isfinite(config.echo_atten_db) || config.echo_atten_db < 0) {
        error = "echo must be DELAY_MS:ATTEN_DB with DELAY_MS 0..5000 and ATTEN_DB 0 or more";
        return false;
    }
    config.echo = true;
    return true;
}

struct fault_name {
    std::string_view name;
    virtual_fault fault;
};
constexpr fault_name k_faults[] = {{"open", virtual_fault::open},
                                   {"busy", virtual_fault::busy},
                                   {"format", virtual_fault::format},
                                   {"duplex", virtual_fault::duplex}};

bool parse_fail(std::string_view value, virtual_config& config, std::string& error) {
    const size_t colon = value.find(':');
    const std::string_view name = value.substr(0, colon);
    config.fault_side = virtual_fault_side::both;
    if (colon != std::string_view::npos) {
        const std::string_view side = value.substr(colon + 1);
        if (side == "in")
            config.fault_side = virtual_fault_side::input;
        else if (side == "out")
            config.fault_side = virtual_fault_side::output;
        else {
            error = "fail side must be in or out";
            return false;
        }
    }
    for (const fault_name& entry : k_faults) {
        if (entry.name == name) {
            config.fault = entry.fault;
            return true;
        }
    }
    error = "fail must be open, busy, format or duplex";
    return false;
}

struct option_parser {
    std::string_view key;
    bool (*parse)(std::string_view value, virtual_config& config, std::string& error);
};

bool parse_speaker(std::string_view value, virtual_config& config, std::string& error) {
    if (value.empty()) {
        error = "speaker needs a WAV file or discard";
        return false;
    }
    config.speaker_file = value == "discard" ? std::string{} : std::string(value);
    return true;
}

constexpr option_parser k_options[] = {
    {"mic", parse_mic}, {"speaker", parse_speaker}, {"echo", parse_echo}, {"fail", parse_fail}};

}  // namespace

bool parse_virtual_config(std::string_view text, virtual_config& config, std::string& error) {
    config = {};
    bool seen[std::size(k_options)] = {};
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (comma != std::string_view::npos && text.empty()) {
            error = "trailing comma";
            return false;
        }
        const size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        size_t index = 0;
        while (index < std::size(k_options) && k_options[index].key != key) ++index;
        if (equals == std::string_view::npos || index == std::size(k_options)) {
            error = "unknown option \"" + std::string(item) + "\"";
            return false;
        }
        if (seen[index]) {
            error = "option " + std::string(key) + " given twice";
            return false;
        }
        seen[index] = true;
        if (!k_options[index].parse(item.substr(equals + 1), config, error)) return false;
    }
    return true;
}

}  // namespace voxline
