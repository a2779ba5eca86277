// Speaker and microphone levels (0..1) for the control's sliders, with change notices.
//
// Over ALSA the speaker is the first of the simple elements "Master", "PCM", "Speaker",
// "Headphone" with a playback volume; the microphone the first of "Capture", "Mic",
// "Internal Mic", "Front Mic" with a capture volume. A level is the mean of the element's
// channels over its volume range; setting one sets every channel. On creation the mixer mutes
// the microphone ("Mic") and "Serial In" on playback, stops recording the played sound ("PCM")
// and "CD", and unmutes "PCM" playback and "Mic" recording; elements a card lacks are skipped.
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

    // Descriptors that become readable when a level may have changed (this object's own
    // changes included); poll them, then call handle_events().
    virtual std::vector<pollfd> poll_descriptors() = 0;
    // Takes the pending notices; true when a level differs from the one seen at the last call
    // (or at creation).
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
