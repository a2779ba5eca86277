// In-memory levels for the virtual card, shared by every virtual mixer of the process like a
// card's mixer; each object is told of changes through its own eventfd.
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

struct shared_levels {
    std::mutex lock;
    double speaker = 1.0;
    double microphone = 1.0;
    std::array<int, k_max_listeners> listeners;  // eventfds, -1 for a free place
    shared_levels() { listeners.fill(-1); }
};

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
    std::optional<double> speaker_level() override { return read(&shared_levels::speaker); }
    bool set_speaker_level(double level) override { return write(&shared_levels::speaker, level); }
    std::optional<double> microphone_level() override { return read(&shared_levels::microphone); }
    bool set_microphone_level(double level) override {
        return write(&shared_levels::microphone, level);
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
    static double read(double shared_levels::*level) {
        shared_levels& shared = levels();
        std::lock_guard lock(shared.lock);
        return shared.*level;
    }

    static bool write(double shared_levels::*level, double value) {
        if (std::isnan(value)) return false;
        shared_levels& shared = levels();
        std::lock_guard lock(shared.lock);
        shared.*level = std::clamp(value, 0.0, 1.0);
        const uint64_t one = 1;
        for (const int listener : shared.listeners)
            if (listener >= 0) (void)!::write(listener, &one, sizeof one);
        return true;
    }

    const int m_event;
    double m_seen_speaker;
    double m_seen_microphone;
};

}  // namespace

std::unique_ptr<sound_mixer> open_virtual_mixer() {
    return std::make_unique<virtual_mixer>();
}

}  // namespace voxline
