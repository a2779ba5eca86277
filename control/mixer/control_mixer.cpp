#include "mixer/control_mixer.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <string_view>

#include "log/control_log.h"
#include "platform/sound/sound_mixer.h"
#include "platform/sound/wave_api.h"

namespace kestrel {

namespace {

// The platform layer logs through a plain function; it reaches the control
// log only while a mixer is being opened, on the GUI thread.
control_log* g_opening_log = nullptr;

void log_opening(int level, const char* line) {
    if (g_opening_log) g_opening_log->LogMessage(level, line);
}

}  // namespace

control_mixer::control_mixer(std::unique_ptr<voxline::sound_mixer> mixer)
    : m_mixer(std::move(mixer)) {
    for (const pollfd& descriptor : m_mixer->poll_descriptors()) {
        if (!(descriptor.events & (POLLIN | POLLPRI))) continue;
        auto* notifier = new QSocketNotifier(descriptor.fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &control_mixer::take_notices);
        m_notifiers.push_back(notifier);
    }
}

control_mixer::~control_mixer() {
    // The descriptors close with the mixer; their notifiers must go first.
    for (QSocketNotifier* notifier : m_notifiers) delete notifier;
}

std::unique_ptr<control_mixer> control_mixer::open(control_log* log) {
    const char* choice = std::getenv("KESTREL_MIXER");
    if (choice && std::string_view(choice) == "none") return nullptr;
    g_opening_log = log;
    voxline::wave_set_log_sink(&log_opening);
    std::unique_ptr<voxline::sound_mixer> mixer = voxline::open_sound_mixer();
    voxline::wave_set_log_sink(nullptr);
    g_opening_log = nullptr;
    if (!mixer || !mixer->available()) return nullptr;
    return std::make_unique<control_mixer>(std::move(mixer));
}

std::optional<double> control_mixer::speaker_level() {
    return m_mixer->speaker_level();
}

std::optional<double> control_mixer::microphone_level() {
    return m_mixer->microphone_level();
}

bool control_mixer::set_speaker_level(double level) {
    return m_mixer->set_speaker_level(level);
}

bool control_mixer::set_microphone_level(double level) {
    return m_mixer->set_microphone_level(level);
}

void control_mixer::take_notices() {
    if (m_mixer->handle_events()) emit levels_changed();
}

}  // namespace kestrel
