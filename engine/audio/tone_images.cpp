#include "audio/tone_images.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace voxline {
namespace {

constexpr uint32_t SAMPLE_RATE = 8000;
constexpr uint16_t BLOCK_ALIGN = 2;
constexpr double SAMPLE_STEP_S = 0.000125;
constexpr double TWO_PI = 6.283184;
constexpr double LOW_LEVEL = 0.198;
constexpr double HIGH_LEVEL = 0.25;

struct tone_row {
    char digit;
    double low;
    double high;
};

// In index order.
constexpr tone_row k_digit_rows[DIGIT_TONE_COUNT] = {
    {'0', 941, 1336}, {'1', 697, 1209}, {'2', 697, 1336}, {'3', 697, 1477}, {'4', 770, 1209},
    {'5', 770, 1336}, {'6', 770, 1477}, {'7', 852, 1209}, {'8', 852, 1336}, {'9', 852, 1477},
    {'A', 697, 1633}, {'B', 770, 1633}, {'C', 852, 1633}, {'D', 941, 1633}, {'*', 941, 1209},
    {'#', 941, 1477}, {'@', 800, 0},
};
constexpr uint32_t DIGIT_ON_MS = 60;
constexpr uint32_t DIGIT_OFF_MS = 20;
constexpr uint32_t BEEP_ON_MS = 100;

struct progress_row {
    double first;
    double second;
    uint32_t on_ms;
    uint32_t off_ms;
};

// busy, reorder, dial tone, alerting; ringing is built from pieces.
constexpr progress_row k_progress_rows[TONE_RINGING] = {
    {480, 620, 500, 500},
    {480, 620, 250, 250},
    {350, 440, 2000, 0},
    {440, 480, 1000, 2000},
};

// The ringing cadence: A (two high tones) and B (one) 17 times, then C (silence).
constexpr uint32_t RING_PIECE_MS = 35;
constexpr double RING_A_LOW = 2090, RING_A_HIGH = 3140, RING_A_LEVEL = 0.075;
constexpr double RING_B = 2780, RING_B_LEVEL = 0.25;
constexpr uint32_t RING_PAUSE_MS = 2000;
constexpr int RING_REPEATS = 17;

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Whole milliseconds, so the count is exact (8000 x 0.06 in floating point is not).
uint32_t sample_count(uint32_t ms) {
    return SAMPLE_RATE / 1000 * ms;
}

// The header for `samples`, and room for them (zeroed).
std::vector<uint8_t> make_image(uint32_t samples) {
    const uint32_t data_size = BLOCK_ALIGN * samples;
    std::vector<uint8_t> image(WAV_IMAGE_HEADER_BYTES + data_size, 0);
    uint8_t* h = image.data();
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, data_size + 50);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    put32(h + 16, 18);
    put16(h + 20, 1);
    put16(h + 22, 1);
    put32(h + 24, SAMPLE_RATE);
    put32(h + 28, BLOCK_ALIGN * SAMPLE_RATE);
    put16(h + 32, BLOCK_ALIGN);
    put16(h + 34, 16);
    put16(h + 36, 0);
    std::memcpy(h + 38, "fact", 4);
    put32(h + 42, 4);
    put32(h + 46, samples);
    std::memcpy(h + 50, "data", 4);
    put32(h + 54, data_size);
    return image;
}

// Writes up to `count` tone samples at `out`; t runs from 0 by adding the
// sample step, so the phase drifts exactly as an accumulated clock does.
void synthesise(uint8_t* out, uint32_t count, double f1, double f2, double a1, double a2) {
    double t = 0;
    for (uint32_t k = 0; k < count; ++k) {
        double v = 0;
        if (f1 != 0) v += a1 * std::sin(TWO_PI * f1 * t);
        if (f2 != 0) v += a2 * std::sin(TWO_PI * f2 * t);
        v = std::clamp(v, -1.0, 1.0);
        put16(out + 2 * k, static_cast<uint16_t>(static_cast<int16_t>(v * 32767)));
        t += SAMPLE_STEP_S;
    }
}

std::vector<uint8_t> ringing_image() {
    const uint32_t piece = sample_count(RING_PIECE_MS);
    const uint32_t pause = sample_count(RING_PAUSE_MS);
    const uint32_t total = 2 * piece * RING_REPEATS + pause;
    std::vector<uint8_t> image = make_image(total);
    std::vector<uint8_t> a(2 * piece), b(2 * piece);
    synthesise(a.data(), piece, RING_A_LOW, RING_A_HIGH, RING_A_LEVEL, RING_A_LEVEL);
    synthesise(b.data(), piece, RING_B, 0, RING_B_LEVEL, 0);
    uint8_t* out = image.data() + WAV_IMAGE_HEADER_BYTES;
    for (int i = 0; i < RING_REPEATS; ++i) {
        out = std::copy(a.begin(), a.end(), out);
        out = std::copy(b.begin(), b.end(), out);
    }
    return image;  // the pause is the zeros the image starts with
}

// One tone (f1 at a1, f2 at a2; a frequency of 0 adds nothing) for `on_ms`,
// then `off_ms` of silence.
std::vector<uint8_t> synthesise_tone_image(uint32_t on_ms, uint32_t off_ms, double f1, double f2,
                                           double a1, double a2) {
    // The header's count decides the image; the tone never runs past it,
    // whatever the rounding of on and off apart.
    const uint32_t total = sample_count(on_ms + off_ms);
    std::vector<uint8_t> image = make_image(total);
    synthesise(image.data() + WAV_IMAGE_HEADER_BYTES, std::min(total, sample_count(on_ms)), f1, f2,
               a1, a2);
    return image;
}

}  // namespace

int digit_index(char c) {
    if (c >= 'a' && c <= 'd') c = static_cast<char>(c - 'a' + 'A');
    for (int i = 0; i < DIGIT_TONE_COUNT; ++i)
        if (k_digit_rows[i].digit == c) return i;
    return -1;
}

tone_images::tone_images() {
    for (int i = 0; i < DIGIT_TONE_COUNT; ++i) {
        const tone_row& r = k_digit_rows[i];
        const bool beep = i == BEEP_DIGIT_INDEX;
        m_digits[i] =
            synthesise_tone_image(beep ? BEEP_ON_MS : DIGIT_ON_MS, beep ? 0 : DIGIT_OFF_MS, r.low,
                                  r.high, LOW_LEVEL, HIGH_LEVEL);
    }
    for (int i = 0; i < TONE_RINGING; ++i) {
        const progress_row& r = k_progress_rows[i];
        m_tones[i] =
            synthesise_tone_image(r.on_ms, r.off_ms, r.first, r.second, LOW_LEVEL, HIGH_LEVEL);
    }
    m_tones[TONE_RINGING] = ringing_image();
}

const std::vector<uint8_t>& tone_images::digit(int index) const {
    static const std::vector<uint8_t> none;
    return index >= 0 && index < DIGIT_TONE_COUNT ? m_digits[index] : none;
}

const std::vector<uint8_t>& tone_images::tone(int index) const {
    static const std::vector<uint8_t> none;
    return index >= 0 && index < CALL_PROGRESS_TONE_COUNT ? m_tones[index] : none;
}

}  // namespace voxline
