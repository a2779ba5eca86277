#include "mixer_line.h"

#include <poll.h>

#include <algorithm>

#include "platform/sound/sound_mixer.h"

namespace dialdeck {

namespace {

// A slider over a large raw range moves in at most this many positions.
constexpr long k_max_steps = 100;

class sound_card_line final : public mixer_line {
  public:
    sound_card_line(std::unique_ptr<voxline::sound_mixer> mixer, voxline::mixer_side side,
                    voxline::mixer_volume_range range)
        : m_mixer(std::move(mixer)), m_side(side), m_range(range) {}

    long minimum() const override { return m_range.minimum; }
    long maximum() const override { return m_range.maximum; }
    long steps() const override { return std::min(m_range.maximum - m_range.minimum, k_max_steps); }
    std::vector<long> values() override { return m_mixer->channel_volumes(m_side); }
    bool set_values(const std::vector<long>& values) override {
        return m_mixer->set_channel_volumes(m_side, values);
    }
    std::vector<int> notice_descriptors() override {
        std::vector<int> descriptors;
        for (const pollfd& descriptor : m_mixer->poll_descriptors())
            if (descriptor.events & (POLLIN | POLLPRI)) descriptors.push_back(descriptor.fd);
        return descriptors;
    }
    void take_notices() override { m_mixer->handle_events(); }

  private:
    std::unique_ptr<voxline::sound_mixer> m_mixer;
    const voxline::mixer_side m_side;
    const voxline::mixer_volume_range m_range;
};

}  // namespace

std::unique_ptr<mixer_line> open_sound_card_line(mixer_line_kind kind, std::string& error) {
    std::unique_ptr<voxline::sound_mixer> mixer = voxline::open_sound_mixer();
    if (!mixer || !mixer->available()) {
        error = "No mixer device";
        return nullptr;
    }
    const auto side = kind == mixer_line_kind::speaker ? voxline::mixer_side::speaker
                                                       : voxline::mixer_side::microphone;
    const std::optional<voxline::mixer_volume_range> range = mixer->volume_range(side);
    if (!range || range->maximum <= range->minimum || mixer->channel_volumes(side).empty()) {
        error = std::string("No controls available for this audio line: ") +
                (kind == mixer_line_kind::speaker ? "Speaker" : "Microphone");
        return nullptr;
    }
    return std::make_unique<sound_card_line>(std::move(mixer), side, *range);
}

}  // namespace dialdeck
