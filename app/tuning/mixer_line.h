// One volume control of the sound card's mixer as the tuning faders see it:
// raw values per channel (one, or left and right) over a range, and
// descriptors that become readable when the values may have changed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dialdeck {

enum class mixer_line_kind { speaker, microphone };

class mixer_line {
  public:
    virtual ~mixer_line() = default;

    virtual long minimum() const = 0;
    virtual long maximum() const = 0;
    // Positions a slider over the range offers.
    virtual long steps() const = 0;
    // Left first; empty when the control went away.
    virtual std::vector<long> values() = 0;
    virtual bool set_values(const std::vector<long>& values) = 0;

    virtual std::vector<int> notice_descriptors() = 0;
    // Called when a descriptor was readable.
    virtual void take_notices() = 0;
};

// Null with the reason when the line or its volume is not there.
using mixer_line_opener =
    std::function<std::unique_ptr<mixer_line>(mixer_line_kind kind, std::string& error)>;

// The line on the card the phone uses: the speaker's playback volume, or the
// microphone's capture (recording) volume. Each call opens its own mixer.
std::unique_ptr<mixer_line> open_sound_card_line(mixer_line_kind kind, std::string& error);

}  // namespace dialdeck
