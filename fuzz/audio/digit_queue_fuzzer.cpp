// Digit text comes from the client (SendDigits): strings separated by NUL
// bytes, each queued, with a few ticks of playing between them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../quiet_home.h"
#include "audio/digit_player.h"

namespace {
const bool quiet = (make_quiet_home("fuzz_digit_queue"), true);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const voxline::tone_images images;
    voxline::digit_player player(images);
    size_t at = 0;
    while (at < size) {
        std::string text;
        while (at < size && data[at] != 0) text += static_cast<char>(data[at++]);
        ++at;
        const size_t before = player.queued();
        const int result = player.queue_digits(text.c_str());
        if (result != 0 && result != 1) std::abort();
        if (player.queued() >= voxline::DIGIT_QUEUE_BYTES) std::abort();
        if (player.queued() < before) std::abort();
        for (int tick = 0; tick < static_cast<int>(text.size() % 23); ++tick) {
            const voxline::tone_view tone = player.start_digit();
            if (tone.data && tone.length != 1280 && tone.length != 1600) std::abort();
            player.count_down();
        }
    }
    (void)quiet;
    return 0;
}
