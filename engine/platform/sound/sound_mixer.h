// Speaker and microphone levels (0..1) for the control's sliders, with change notices.
//
// Over ALSA the speaker is the first of the simple elements "Master", "PCM", "Speaker",
// "Headphone" with a playback volume; the microphone the first of "Capture", "Mic",
// "Internal Mic", "Front Mic" with a capture volume. A level is the mean of the element's
// channels over its volume range; setting one sets every channel. On creation the mixer mutes
// the microphone ("Mic") and "Serial In" on playback, stops recording the played sound ("PCM")
// and "CD", and unmutes "PCM" playback and "Mic" recording; elements a card lacks are skipped.
//
// Per channel, for faders that keep a balance: the same elements, as raw volume values of their
// first two channels (left, right; a mono element has one), over the element's volume range.
//
// With the virtual backend selected (or VOXLINE_AUDIO "virtual...") the levels live in memory,
// shared by every virtual mixer of the process, and start at full level.
//
// Threads: one owner thread per mixer object.
#pragma once

#include <poll.h>

#include <memory>
#include <optional>
#include <vector>

namespace voxline {

enum class mixer_side { speaker, microphone };

struct mixer_volume_range {
    long minimum = 0;
    long maximum = 0;
};

class sound_mixer {
  public:
    virtual ~sound_mixer() = default;

    // False in the "no mixer" state: no levels, setting fails, no notices.
    virtual bool available() const = 0;
    virtual std::optional<double> speaker_level() = 0;
    // Levels outside 0..1 are taken as the nearest end; false without the element.
    virtual bool set_speaker_level(double level) = 0;
    virtual std::optional<double> microphone_level() = 0;
    virtual bool set_microphone_level(double level) = 0;

    // Without the element (or in the "no mixer" state): no range, no channels, setting fails.
    virtual std::optional<mixer_volume_range> volume_range(mixer_side) { return std::nullopt; }
    // Left first; one value for a mono element.
    virtual std::vector<long> channel_volumes(mixer_side) { return {}; }
    // As many values as channel_volumes gives, each clamped to the range; channels beyond the
    // first two take the larger of them.
    virtual bool set_channel_volumes(mixer_side, const std::vector<long>&) { return false; }

    // Descriptors that become readable when a level may have changed (this object's own
    // changes included); poll them, then call handle_events().
    virtual std::vector<pollfd> poll_descriptors() = 0;
    // Takes the pending notices; true when a level or a channel volume differs from the one
    // seen at the last call (or at creation).
    virtual bool handle_events() = 0;
};

// The mixer for the selected sound backend: the virtual mixer for the virtual card,
// else the ALSA mixer of the default card, else "no mixer".
std::unique_ptr<sound_mixer> open_sound_mixer();
// The ALSA mixer of one control device ("default", "hw:1"); "no mixer" when it does not open.
std::unique_ptr<sound_mixer> open_alsa_mixer(const char* device);
std::unique_ptr<sound_mixer> open_virtual_mixer();
std::unique_ptr<sound_mixer> make_no_mixer();

}  // namespace voxline
