// The options of the PortAudio backend, from VOXLINE_AUDIO's text after "portaudio:":
//   [in=NAME][,out=NAME][,rate=HZ]
// Keys come in any order, once each. Device names may hold commas ("(hw:0,0)"), so an item ends
// only at a comma followed by another key and '='. NAME is a device name as listed; without it
// the system's default device is used. rate=HZ runs the devices at HZ and resamples; without it
// a device runs at 8000 Hz, or at its own rate when it cannot.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace voxline {

constexpr uint32_t k_portaudio_min_rate = 8000;
constexpr uint32_t k_portaudio_max_rate = 192000;

struct portaudio_config {
    std::string input_name;   // empty: the default input
    std::string output_name;  // empty: the default output
    uint32_t rate = 0;        // 0: 8000 Hz where the device takes it
};

// False with a reason when the text is not in the grammar above.
bool parse_portaudio_config(std::string_view text, portaudio_config& config, std::string& error);

}  // namespace voxline
