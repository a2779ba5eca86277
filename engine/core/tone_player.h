// Call-progress tones the engine plays itself, when the client asks it to or
// has no event interface: the client's tone codes mapped onto the media
// session's looping tones.
//
// Threads: the call thread.
#pragma once

namespace voxline {

class rtp_streamer_t;

// tone is an IVXLCallback_tone_t; anything unknown stops the tone. Without a
// media session there is nothing to play on, and the request fails (logged).
void play_call_progress_tone(rtp_streamer_t* media, int tone);

// The session's tone played its loops out since the last look (taken once):
// the call thread then requests the current tone again.
bool take_finished_tone(rtp_streamer_t* media);

}  // namespace voxline
