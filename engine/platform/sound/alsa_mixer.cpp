// The sound_mixer over ALSA's simple mixer elements (element names in sound_mixer.h).
#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_library_quiet.h"
#include "platform/sound/sound_mixer.h"

namespace voxline {
namespace {

enum class side { playback, capture };

constexpr const char* k_speaker_elements[] = {"Master", "PCM", "Speaker", "Headphone"};
constexpr const char* k_microphone_elements[] = {"Capture", "Mic", "Internal Mic", "Front Mic"};

struct switch_rule {
    const char* element;
    side where;
    bool on;
};

// Set once on creation: the microphone reaches the far end, not the user's own speaker.
constexpr switch_rule k_creation_switches[] = {
    {"Mic", side::playback, false}, {"Serial In", side::playback, false},
    {"PCM", side::capture, false},  {"CD", side::capture, false},
    {"PCM", side::playback, true},  {"Mic", side::capture, true},
};

snd_mixer_elem_t* find_element(snd_mixer_t* mixer, const char* name) {
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name);
    return snd_mixer_find_selem(mixer, id);
}

bool has_volume(snd_mixer_elem_t* element, side where) {
    return where == side::playback ? snd_mixer_selem_has_playback_volume(element)
                                   : snd_mixer_selem_has_capture_volume(element);
}

std::optional<double> read_level(snd_mixer_elem_t* element, side where) {
    if (element == nullptr || !has_volume(element, where)) return std::nullopt;
    long low = 0, high = 0;
    const bool playback = where == side::playback;
    (playback ? snd_mixer_selem_get_playback_volume_range
              : snd_mixer_selem_get_capture_volume_range)(element, &low, &high);
    if (high <= low) return std::nullopt;
    double sum = 0;
    int channels = 0;
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
        const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
        long value = 0;
        if (!(playback ? snd_mixer_selem_has_playback_channel
                       : snd_mixer_selem_has_capture_channel)(element, channel) ||
            (playback ? snd_mixer_selem_get_playback_volume : snd_mixer_selem_get_capture_volume)(
                element, channel, &value) < 0)
            continue;
        sum += value;
        ++channels;
    }
    if (channels == 0) return std::nullopt;
    return std::clamp((sum / channels - low) / double(high - low), 0.0, 1.0);
}

bool write_level(snd_mixer_elem_t* element, side where, double level) {
    if (element == nullptr || !has_volume(element, where) || std::isnan(level)) return false;
    long low = 0, high = 0;
    const bool playback = where == side::playback;
    (playback ? snd_mixer_selem_get_playback_volume_range
              : snd_mixer_selem_get_capture_volume_range)(element, &low, &high);
    const long value = low + std::lround(std::clamp(level, 0.0, 1.0) * double(high - low));
    return (playback ? snd_mixer_selem_set_playback_volume_all
                     : snd_mixer_selem_set_capture_volume_all)(element, value) >= 0;
}

bool volume_bounds(snd_mixer_elem_t* element, side where, long& low, long& high) {
    if (element == nullptr || !has_volume(element, where)) return false;
    low = high = 0;
    (where == side::playback ? snd_mixer_selem_get_playback_volume_range
                             : snd_mixer_selem_get_capture_volume_range)(element, &low, &high);
    return high > low;
}

// The element's first two channels (one when it is mono), left first.
std::vector<snd_mixer_selem_channel_id_t> balance_channels(snd_mixer_elem_t* element, side where) {
    const bool playback = where == side::playback;
    if ((playback ? snd_mixer_selem_is_playback_mono : snd_mixer_selem_is_capture_mono)(element))
        return {SND_MIXER_SCHN_MONO};
    std::vector<snd_mixer_selem_channel_id_t> channels;
    for (const auto channel : {SND_MIXER_SCHN_FRONT_LEFT, SND_MIXER_SCHN_FRONT_RIGHT})
        if ((playback ? snd_mixer_selem_has_playback_channel : snd_mixer_selem_has_capture_channel)(
                element, channel))
            channels.push_back(channel);
    return channels;
}

std::vector<long> read_channels(snd_mixer_elem_t* element, side where) {
    long low, high;
    if (!volume_bounds(element, where, low, high)) return {};
    std::vector<long> values;
    for (const auto channel : balance_channels(element, where)) {
        long value = 0;
        if ((where == side::playback
                 ? snd_mixer_selem_get_playback_volume
                 : snd_mixer_selem_get_capture_volume)(element, channel, &value) < 0)
            return {};
        values.push_back(value);
    }
    return values;
}

bool write_channels(snd_mixer_elem_t* element, side where, const std::vector<long>& values) {
    long low, high;
    if (!volume_bounds(element, where, low, high)) return false;
    const auto channels = balance_channels(element, where);
    if (channels.empty() || values.size() != channels.size()) return false;
    const auto set = where == side::playback ? snd_mixer_selem_set_playback_volume
                                             : snd_mixer_selem_set_capture_volume;
    const auto has = where == side::playback ? snd_mixer_selem_has_playback_channel
                                             : snd_mixer_selem_has_capture_channel;
    const long largest = std::clamp(*std::max_element(values.begin(), values.end()), low, high);
    bool written = true;
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
        const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
        if (!has(element, channel)) continue;
        const auto given = std::find(channels.begin(), channels.end(), channel);
        const long value = given == channels.end()
                               ? largest
                               : std::clamp(values[given - channels.begin()], low, high);
        written = set(element, channel, value) >= 0 && written;
    }
    return written;
}

side side_of(mixer_side line) {
    return line == mixer_side::speaker ? side::playback : side::capture;
}

class alsa_mixer final : public sound_mixer {
  public:
    explicit alsa_mixer(snd_mixer_t* mixer) : m_mixer(mixer) {
        m_speaker = pick(k_speaker_elements, side::playback);
        m_microphone = pick(k_microphone_elements, side::capture);
        for (const switch_rule& rule : k_creation_switches) apply(rule);
        m_seen_speaker = speaker_level();
        m_seen_microphone = microphone_level();
        m_seen_channels = all_channels();
    }
    ~alsa_mixer() override { snd_mixer_close(m_mixer); }

    bool available() const override { return true; }
    std::optional<double> speaker_level() override {
        return read_level(element(m_speaker), side::playback);
    }
    bool set_speaker_level(double level) override {
        return write_level(element(m_speaker), side::playback, level);
    }
    std::optional<double> microphone_level() override {
        return read_level(element(m_microphone), side::capture);
    }
    bool set_microphone_level(double level) override {
        return write_level(element(m_microphone), side::capture, level);
    }

    std::optional<mixer_volume_range> volume_range(mixer_side line) override {
        long low, high;
        if (!volume_bounds(element(line), side_of(line), low, high)) return std::nullopt;
        return mixer_volume_range{low, high};
    }
    std::vector<long> channel_volumes(mixer_side line) override {
        return read_channels(element(line), side_of(line));
    }
    bool set_channel_volumes(mixer_side line, const std::vector<long>& values) override {
        return write_channels(element(line), side_of(line), values);
    }

    std::vector<pollfd> poll_descriptors() override {
        const int count = snd_mixer_poll_descriptors_count(m_mixer);
        std::vector<pollfd> descriptors(std::max(count, 0));
        const int filled =
            snd_mixer_poll_descriptors(m_mixer, descriptors.data(), descriptors.size());
        descriptors.resize(std::max(filled, 0));
        return descriptors;
    }

    bool handle_events() override {
        snd_mixer_handle_events(m_mixer);
        const std::optional<double> speaker = speaker_level();
        const std::optional<double> microphone = microphone_level();
        auto channels = all_channels();
        const bool changed = speaker != m_seen_speaker || microphone != m_seen_microphone ||
                             channels != m_seen_channels;
        m_seen_speaker = speaker;
        m_seen_microphone = microphone;
        m_seen_channels = std::move(channels);
        return changed;
    }

  private:
    template <size_t N>
    std::string pick(const char* const (&names)[N], side where) {
        for (const char* name : names) {
            snd_mixer_elem_t* found = find_element(m_mixer, name);
            if (found && has_volume(found, where)) return name;
        }
        return {};
    }

    // Looked up on every use: events may remove an element (a card unplugged).
    snd_mixer_elem_t* element(const std::string& name) {
        return name.empty() ? nullptr : find_element(m_mixer, name.c_str());
    }

    snd_mixer_elem_t* element(mixer_side line) {
        return element(line == mixer_side::speaker ? m_speaker : m_microphone);
    }

    std::array<std::vector<long>, 2> all_channels() {
        return {channel_volumes(mixer_side::speaker), channel_volumes(mixer_side::microphone)};
    }

    void apply(const switch_rule& rule) {
        snd_mixer_elem_t* found = find_element(m_mixer, rule.element);
        if (found == nullptr) return;
        if (rule.where == side::playback && snd_mixer_selem_has_playback_switch(found))
            snd_mixer_selem_set_playback_switch_all(found, rule.on);
        if (rule.where == side::capture && snd_mixer_selem_has_capture_switch(found))
            snd_mixer_selem_set_capture_switch_all(found, rule.on);
    }

    snd_mixer_t* const m_mixer;
    std::string m_speaker;
    std::string m_microphone;
    std::optional<double> m_seen_speaker;
    std::optional<double> m_seen_microphone;
    std::array<std::vector<long>, 2> m_seen_channels;
};

}  // namespace

std::unique_ptr<sound_mixer> open_alsa_mixer(const char* device) {
    quiet_sound_libraries();
    snd_mixer_t* mixer = nullptr;
    int error = snd_mixer_open(&mixer, 0);
    if (error >= 0) error = snd_mixer_attach(mixer, device);
    if (error >= 0) error = snd_mixer_selem_register(mixer, nullptr, nullptr);
    if (error >= 0) error = snd_mixer_load(mixer);
    if (error < 0) {
        // The error is ALSA's errno, as a positive number.
        sound_log(1, "mixerOpen returned 0x%x", -error);
        if (mixer) snd_mixer_close(mixer);
        return make_no_mixer();
    }
    return std::make_unique<alsa_mixer>(mixer);
}

}  // namespace voxline
