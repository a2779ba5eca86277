// The sounds the engine makes itself, as in-memory WAV images (8 kHz mono
// 16-bit, 58-byte header): 17 digit tones and 5 call-progress tones.
//
// Owner: the call's rtp_streamer_t builds them once and frees them with it;
// afterwards they are only read (any thread).
#pragma once

#include <cstdint>
#include <vector>

namespace voxline {

constexpr uint32_t WAV_IMAGE_HEADER_BYTES = 58;
constexpr int DIGIT_TONE_COUNT = 17;
constexpr int CALL_PROGRESS_TONE_COUNT = 5;
constexpr int BEEP_DIGIT_INDEX = 16;

// Call-progress images by index.
enum call_progress_tone : int {
    TONE_BUSY = 0,
    TONE_REORDER = 1,
    TONE_DIALTONE = 2,
    TONE_ALERTING = 3,
    TONE_RINGING = 4,
};

// The index of a digit character ("0"-"9", "A"-"D" either case, "*", "#",
// "@" the beep), or -1 for anything else. The digit queue holds "0" + index.
int digit_index(char c);

class tone_images {
  public:
    tone_images();

    // An empty image stands for "no image".
    const std::vector<uint8_t>& digit(int index) const;
    const std::vector<uint8_t>& tone(int index) const;

  private:
    std::vector<uint8_t> m_digits[DIGIT_TONE_COUNT];
    std::vector<uint8_t> m_tones[CALL_PROGRESS_TONE_COUNT];
};

}  // namespace voxline
