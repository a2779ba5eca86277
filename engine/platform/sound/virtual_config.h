// The options of the virtual sound card, from VOXLINE_AUDIO's text after "virtual:":
//   mic=FILE.wav|tone:HZ[:PEAK]|silence,speaker=FILE.wav|discard[,echo=DELAY_MS:ATTEN_DB]
//   [,fail=open|busy|format|duplex[:in|:out]]
// Keys come in any order, once each; a missing mic is silence, a missing speaker discards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace voxline {

enum class virtual_mic_kind { silence, tone, wav };
enum class virtual_fault { none, open, busy, format, duplex };
enum class virtual_fault_side { both, input, output };

constexpr int k_virtual_tone_peak = 8000;
constexpr int k_virtual_max_echo_ms = 5000;

struct virtual_config {
    virtual_mic_kind mic = virtual_mic_kind::silence;
    std::string mic_file;
    double tone_hz = 0;
    int tone_peak = k_virtual_tone_peak;
    std::string speaker_file;  // empty: discard
    bool echo = false;
    int echo_delay_ms = 0;
    double echo_atten_db = 0;
    virtual_fault fault = virtual_fault::none;
    virtual_fault_side fault_side = virtual_fault_side::both;
};

// False with a reason when the text is not in the grammar above.
bool parse_virtual_config(std::string_view text, virtual_config& config, std::string& error);

}  // namespace voxline
