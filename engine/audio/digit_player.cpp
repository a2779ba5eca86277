#include "audio/digit_player.h"

#include <cctype>
#include <cstring>

#include "audio/audio_sizes.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

// After a digit's tone the microphone stays muted for another half second, so the
// tone coming back through the speaker is not heard at the far end.
constexpr uint32_t MUTE_TAIL_BYTES = 8000;

}  // namespace

int digit_player::queue_digits(const char* digits) {
    if (!digits) return 0;
    const size_t length = std::strlen(digits);
    std::lock_guard lock(m_lock);
    if (m_count + length >= DIGIT_QUEUE_BYTES) {
        VXL_LOG(LOG_ERROR, "Digit queue overflow.  Ignored %s", digits);
        return 1;
    }
    int result = 0;
    for (size_t i = 0; i < length; ++i) {
        const int index = digit_index(digits[i]);
        if (index < 0) {
            // A control byte would break the log's lines.
            const auto c = static_cast<unsigned char>(digits[i]);
            VXL_LOG(LOG_INFO, "Invalid DTMF digit (%c)", std::isprint(c) ? c : '.');
            result = 1;
            continue;
        }
        m_queue[m_count++] = static_cast<char>('0' + index);
    }
    m_queue[m_count] = '\0';
    return result;
}

tone_view digit_player::start_digit() {
    if (m_playing) return {};
    char code;
    {
        // The tick never waits for the call thread: a busy lock starts the
        // digit one tick later.
        std::unique_lock lock(m_lock, std::try_to_lock);
        if (!lock.owns_lock() || m_count == 0) return {};
        code = m_queue[0];
        std::memmove(m_queue, m_queue + 1, m_count);  // the terminating zero comes along
        --m_count;
    }
    const std::vector<uint8_t>& image = m_images.digit(code - '0');
    if (image.size() <= WAV_IMAGE_HEADER_BYTES) return {};
    const auto sample_bytes = static_cast<uint32_t>(image.size() - WAV_IMAGE_HEADER_BYTES);
    m_play_ticks = sample_bytes / PCM_ELEMENT_BYTES;
    m_mute_ticks = (sample_bytes + MUTE_TAIL_BYTES) / PCM_ELEMENT_BYTES;
    m_playing = true;
    return {image.data() + WAV_IMAGE_HEADER_BYTES, sample_bytes};
}

void digit_player::count_down() {
    if (m_mute_ticks != 0) --m_mute_ticks;
    if (m_play_ticks != 0 && --m_play_ticks == 0) m_playing = false;
}

void digit_player::clear() {
    std::lock_guard lock(m_lock);
    m_count = 0;
    m_queue[0] = '\0';
    m_playing = false;
    m_play_ticks = 0;
    m_mute_ticks = 0;
}

size_t digit_player::queued() {
    std::lock_guard lock(m_lock);
    return m_count;
}

}  // namespace voxline
