// Fire-and-forget playing of in-memory WAV images (8 kHz mono 16-bit) on the wave layer's
// default output, for sounds made outside a call such as on-hook digits. One sound at a time:
// a new sound cuts the one still playing. The output is opened for each sound and closed when
// it ends, so it is free for a call in between.
#pragma once

#include <cstddef>
#include <cstdint>

namespace voxline {

// Starts playing and returns at once; false (logged) when the image is not a WAV the device
// takes or the output does not open.
bool play_sound_async(const uint8_t* image, size_t size);

// Cuts the sound playing, if any, and waits until the output is closed.
void stop_sound();

}  // namespace voxline
