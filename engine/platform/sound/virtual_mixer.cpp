// In-memory levels for the virtual card, shared by every virtual mixer of the process like a
// card's mixer; each object is told of changes through its own eventfd. Each side has a left
// and a right channel of 0..65535, as a 16-bit card's volume.
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <mutex>

#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_mixer.h"

namespace voxline {
namespace {

constexpr size_t k_max_listeners = 16;
constexpr long k_volume_maximum = 65535;

// Kept as fractions so that a level set reads back as it was set.
using channel_pair = std::array<double, 2>;

struct shared_levels {
    std::mutex lock;
    channel_pair speaker{1.0, 1.0};
    channel_pair microphone{1.0, 1.0};
    std::array<int, k_max_listeners> listeners;  // eventfds, -1 for a free place
    shared_levels() { listeners.fill(-1); }
};

double mean_level(const channel_pair& channels) {
    return (channels[0] + channels[1]) / 2;
}

channel_pair shared_levels::*member(mixer_side side) {
    return side == mixer_side::speaker ? &shared_levels::speaker : &shared_levels::microphone;
}

shared_levels& levels() {
    static shared_levels instance;
    return instance;
}

class virtual_mixer final : public sound_mixer {
  public:
    virtual_mixer() : m_event(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        shared_levels& shared = levels();
        std::lock_guard lock(shared.lock);
        m_seen_speaker = shared.speaker;
        m_seen_microphone = shared.microphone;
        auto place = std::find(shared.listeners.begin(), shared.listeners.end(), -1);
        if (m_event < 0)
            sound_log(1, "Virtual mixer has no change notices: eventfd failed");
        else if (place == shared.listeners.end())
            sound_log(1, "Virtual mixer has no change notices: too many mixers");
        else
            *place = m_event;
    }
    ~virtual_mixer() override {
        shared_levels& shared = levels();
        {
            std::lock_guard lock(shared.lock);
            if (m_event >= 0)
                std::replace(shared.listeners.begin(), shared.listeners.end(), m_event, -1);
        }
        if (m_event >= 0) ::close(m_event);
    }

    bool available() const override { return true; }
    std::optional<double> speaker_level() override { return mean_level(read(mixer_side::speaker)); }
    bool set_speaker_level(double level) override {
        return write_level(mixer_side::speaker, level);
    }
    std::optional<double> microphone_level() override {
        return mean_level(read(mixer_side::microphone));
    }
    bool set_microphone_level(double level) override {
        return write_level(mixer_side::microphone, level);
    }

    std::optional<mixer_volume_range> volume_range(mixer_side) override {
        return mixer_volume_range{0, k_volume_maximum};
    }
    std::vector<long> channel_volumes(mixer_side side) override {
        const channel_pair channels = read(side);
        return {std::lround(channels[0] * k_volume_maximum),
                std::lround(channels[1] * k_volume_maximum)};
    }
    bool set_channel_volumes(mixer_side side, const std::vector<long>& values) override {
        if (values.size() != 2) return false;
        const auto fraction = [](long value) {
            return std::clamp(value, 0L, k_volume_maximum) / double(k_volume_maximum);
        };
        write(side, {fraction(values[0]), fraction(values[1])});
        return true;
    }

    std::vector<pollfd> poll_descriptors() override {
        if (m_event < 0) return {};
        return {pollfd{m_event, POLLIN, 0}};
    }

    bool handle_events() override {
        uint64_t count;
        while (m_event >= 0 && ::read(m_event, &count, sizeof count) == sizeof count) {
        }
        shared_levels& shared = levels();
        std::lock_guard lock(shared.lock);
        const bool changed =
            shared.speaker != m_seen_speaker || shared.microphone != m_seen_microphone;
        m_seen_speaker = shared.speaker;
        m_seen_microphone = shared.microphone;
        return changed;
    }

  private:
    static channel_pair read(mixer_side side) {
        shared_levels& shared = levels();
        std::lock_guard lock(shared.lock);
        return shared.*member(side);
    }

    static bool write_level(mixer_side side, double level) {
        if (std::isnan(level)) return false;
        const double value = std::clamp(level, 0.0, 1.0);
        write(side, {value, value});
        return true;
    }

    static void write(mixer_side side, const channel_pair& channels) {
        shared_levels& shared = levels();
        std::lock_guard lock(shared.lock);
        shared.*member(side) = channels;
        const uint64_t one = 1;
        for (const int listener : shared.listeners)
            if (listener >= 0) (void)!::write(listener, &one, sizeof one);
    }

    const int m_event;
    channel_pair m_seen_speaker;
    channel_pair m_seen_microphone;
};

}  // namespace

std::unique_ptr<sound_mixer> open_virtual_mixer() {
    return std::make_unique<virtual_mixer>();
}

}  // namespace voxline
