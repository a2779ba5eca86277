// The WAV reader and writer live with the sound layer, which reads microphone files too.
#pragma once

#include "platform/sound/wav_file.h"
