// Call-progress tones the engine plays itself, when the client asks it to or
// has no event interface.
#pragma once

namespace voxline {

// tone is an IVXLCallback_tone_t; anything unknown stops the tone.
void play_call_progress_tone(int tone);

// The media layer asks for the current tone to start again (after its device
// restarted); the call thread takes the request once.
void request_tone_restart();
bool take_tone_restart_request();

}  // namespace voxline
