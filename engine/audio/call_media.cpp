#include "audio/call_media.h"

namespace voxline {

call_media::call_media(const tone_images& images) : m_digits(images) {}
call_media::~call_media() = default;

tone_view call_media::start_digit() {
    return m_digits.start_digit();
}

bool call_media::mic_muted() {
    return m_digits.mic_muted();
}

bool call_media::digit_playing() {
    return m_digits.digit_playing();
}

void call_media::count_down_digits() {
    m_digits.count_down();
}

void call_media::clear_digits() {
    m_digits.clear();
}

}  // namespace voxline
