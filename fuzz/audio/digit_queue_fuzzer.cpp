// Digit text comes from the client (SendDigits): strings separated by NUL
// bytes, each queued, with a few ticks of playing between them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../quiet_home.h"
#include "audio/digit_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (make_quiet_home("fuzz_digit_queue"), true);
    static const voxline::tone_images images;
    voxline::digit_player player(images);
    for (size_t at = 0; at < size; ++at) {
        std::string text;
        while (at < size && data[at] != 0) text += static_cast<char>(data[at++]);
        const size_t before = player.queued();
        const int result = player.queue_digits(text.c_str());
        if ((result != 0 && result != 1) || player.queued() >= voxline::DIGIT_QUEUE_BYTES ||
            player.queued() < before)
            std::abort();
        for (size_t tick = 0; tick < text.size() % 23; ++tick) {
            const voxline::tone_view tone = player.start_digit();
            if (tone.data && tone.length != 1280 && tone.length != 1600) std::abort();
            player.count_down();
        }
    }
    (void)quiet;
    return 0;
}
