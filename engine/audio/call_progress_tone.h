// Call-progress tones (busy, ringing, ...) as one looping buffer on the
// call's output device, on the looping header the tick leaves alone.
//
// Threads: the call thread. The RTP thread may write to the same device
// meanwhile; the flags it and the driver thread share are audio_session's
// atomics. A loop that plays out sets tone_finished, which the call control
// answers by requesting the tone again.
#pragma once

#include "audio/audio_session.h"
#include "audio/tone_images.h"

namespace voxline {

// About 15 s of tone per request, whatever the image's length.
constexpr uint32_t LOOPING_TONE_BYTES = 240000;
constexpr int LOOPING_STOP_WAIT_MS = 500;

// false (logged) for an index outside the table, an image too short to
// play, an output that does not open or a device that refuses the buffer.
bool play_tone(audio_session& audio, const tone_images& images, int index);
void stop_tone(audio_session& audio);

// How often an image of `sample_bytes` plays in one request: at least once.
uint32_t tone_loop_count(uint32_t sample_bytes);

}  // namespace voxline
