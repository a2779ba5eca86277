#include "platform/sound/sound_mixer.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <string_view>

#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_library_quiet.h"
#include "platform/sound/virtual_backend.h"

namespace voxline {
namespace {

class no_mixer final : public sound_mixer {
  public:
    bool available() const override { return false; }
    std::optional<double> speaker_level() override { return std::nullopt; }
    bool set_speaker_level(double) override { return false; }
    std::optional<double> microphone_level() override { return std::nullopt; }
    bool set_microphone_level(double) override { return false; }
    std::vector<pollfd> poll_descriptors() override { return {}; }
    bool handle_events() override { return false; }
};

}  // namespace

std::unique_ptr<sound_mixer> make_no_mixer() {
    return std::make_unique<no_mixer>();
}

std::unique_ptr<sound_mixer> open_sound_mixer() {
    // Also for a virtual selection that did not parse: a test run must not touch a real card.
    const char* selection = std::getenv("VOXLINE_AUDIO");
    if (dynamic_cast<virtual_card*>(wave_current_backend().get()) != nullptr ||
        (selection && std::string_view(selection).starts_with("virtual")))
        return open_virtual_mixer();
    quiet_sound_libraries();
    int card = -1;
    if (snd_card_next(&card) < 0 || card < 0) {
        // As the wave API numbers it: no such device.
        sound_log(1, "mixerGetDevCaps returned 0x%x", 2);
        return make_no_mixer();
    }
    return open_alsa_mixer("default");
}

}  // namespace voxline
