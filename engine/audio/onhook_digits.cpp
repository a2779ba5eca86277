#include "audio/onhook_digits.h"

#include "platform/sound/sound_player.h"
#include "util/vxl_log.h"

namespace voxline {

int play_onhook_digits(const tone_images& images, const char* digits) {
    if (!digits) return 0;
    int result = 0;
    for (const char* p = digits; *p; ++p) {
        const int index = digit_index(*p);
        if (index < 0) {
            VXL_LOG(LOG_ERROR, "Not playing illegal onhook DTMF digit (%d)",
                    static_cast<int>(static_cast<unsigned char>(*p)));
            result = 1;
            continue;
        }
        const std::vector<uint8_t>& image = images.digit(index);
        if (image.size() <= WAV_IMAGE_HEADER_BYTES) continue;
        if (play_sound_async(image.data(), image.size())) continue;
        if (index == BEEP_DIGIT_INDEX)
            VXL_LOG(LOG_ERROR, "PlaySound BEEP failed");
        else
            VXL_LOG(LOG_ERROR, "PlaySound %c failed", *p);
        result = 1;
    }
    return result;
}

}  // namespace voxline
