#include "platform/sound/sound_library_quiet.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace voxline {
namespace {

void silent_alsa(const char*, int, const char*, int, const char*, ...) {}

void silent_jack(const char*) {}

// JACK is not linked here: PortAudio may have loaded it, and only then does it speak.
void quiet_jack() {
    void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (jack == nullptr) return;
    using set_function = void (*)(void (*)(const char*));
    for (const char* setter : {"jack_set_error_function", "jack_set_info_function"}) {
        if (auto set = reinterpret_cast<set_function>(dlsym(jack, setter))) set(silent_jack);
    }
    dlclose(jack);
}

}  // namespace

void quiet_sound_libraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(silent_alsa);
        // A phone must not start an audio server behind the user's back.
        setenv("JACK_NO_START_SERVER", "1", 1);
        quiet_jack();
    });
}

}  // namespace voxline
