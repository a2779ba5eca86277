// Digits dialled with no call up, heard through the one-shot sound player
// (a new digit cuts the one still playing, so a string leaves its last
// digit audible).
//
// Threads: the call thread.
#pragma once

#include "audio/tone_images.h"

namespace voxline {

// 0, or 1 when any character was not a digit or a digit did not play.
int play_onhook_digits(const tone_images& images, const char* digits);

}  // namespace voxline
