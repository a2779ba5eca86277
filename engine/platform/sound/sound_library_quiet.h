// ALSA and JACK write their own diagnostics to stderr, which is the user's terminal or the
// host application's console. The sound layer reports through its log sink instead.
#pragma once

namespace voxline {

// Installs silent ALSA and JACK (when loaded) error handlers and keeps JACK from starting a
// server. Once per process; call before the first use of either library.
void quiet_sound_libraries();

}  // namespace voxline
