#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/call_progress_tone.h"
#include "audio/digit_player.h"
#include "audio/tone_images.h"
#include "support/temp_home.h"

namespace voxline::test {
namespace {

std::vector<int16_t> samples(const std::vector<uint8_t>& image, size_t from, size_t count) {
    std::vector<int16_t> out(count);
    if (count > 0) std::memcpy(out.data(), image.data() + 58 + 2 * from, 2 * count);
    return out;
}

// Amplitude of one frequency (Goertzel, Hann window: a neighbour 40 Hz away does not leak in).
double amplitude(const std::vector<int16_t>& block, double hz) {
    const double c = 2 * std::cos(2 * M_PI * hz / 8000);
    double s1 = 0, s2 = 0, window_sum = 0;
    for (size_t i = 0; i < block.size(); ++i) {
        const double h = 0.5 - 0.5 * std::cos(2 * M_PI * i / (block.size() - 1));
        window_sum += h;
        const double s0 = h * block[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2 * std::sqrt(s1 * s1 + s2 * s2 - c * s1 * s2) / window_sum;
}

TEST(ToneImages, EachImageHasItsHeaderCadenceFrequenciesAndLevels) {
    auto db = [](double amplitude, double level) {
        return 20 * std::log10(amplitude / (level * 32767));
    };
    const tone_images images;
    const double grid[] = {350, 440, 480, 620, 697, 770, 852, 941, 1209, 1336, 1477, 1633, 800};
    struct row {
        const std::vector<uint8_t>& image;
        uint32_t on_ms, off_ms;
        double low, high;  // at 0.198 and 0.25 of full scale
    };
    const auto digit = [&](char c) -> const std::vector<uint8_t>& {
        return images.digit(digit_index(c));
    };
    // The other digits' pairs are decoded end to end (the tones and digits module).
    const row rows[] = {{digit('0'), 60, 20, 941, 1336},
                        {digit('1'), 60, 20, 697, 1209},
                        {digit('D'), 60, 20, 941, 1633},
                        {digit('#'), 60, 20, 941, 1477},
                        {digit('@'), 100, 0, 800, 0},
                        {images.tone(TONE_BUSY), 500, 500, 480, 620},
                        {images.tone(TONE_REORDER), 250, 250, 480, 620},
                        {images.tone(TONE_DIALTONE), 2000, 0, 350, 440},
                        {images.tone(TONE_ALERTING), 1000, 2000, 440, 480}};
    for (const row& r : rows) {
        const uint32_t count = 8 * (r.on_ms + r.off_ms), length = 58 + 2 * count;
        ASSERT_EQ(r.image.size(), length) << r.low << '+' << r.high;
        const std::string text(r.image.begin(), r.image.end());
        EXPECT_EQ(text.substr(0, 4) + text.substr(8, 8) + text.substr(38, 4) + text.substr(50, 4),
                  "RIFFWAVEfmt factdata");
        // RIFF size, fmt size, PCM mono, rate, bytes/s, align 2 and 16 bits, fact, count, data.
        const uint32_t fields[][2] = {{4, length - 8}, {16, 18},    {20, 1 | 1 << 16},
                                      {24, 8000},      {28, 16000}, {32, 2 | 16 << 16},
                                      {42, 4},         {46, count}, {54, 2 * count}};
        for (const auto& f : fields) {
            uint32_t v;
            std::memcpy(&v, r.image.data() + f[0], 4);
            EXPECT_EQ(v, f[1]) << length << '@' << f[0];
        }
        // The tone to the end of its on time, then silence.
        const uint32_t n = std::min(8 * r.on_ms, 1600u);
        for (uint32_t from : {0u, 8 * r.on_ms - n}) {
            const std::vector<int16_t> tone = samples(r.image, from, n);
            EXPECT_NEAR(db(amplitude(tone, r.low), 0.198), 0, 1) << r.low << '@' << from;
            EXPECT_NEAR(r.high > 0 ? db(amplitude(tone, r.high), 0.25) : 0, 0, 1) << r.high;
            for (double decoy : grid) {
                if (decoy == r.low || decoy == r.high) continue;
                EXPECT_LT(db(amplitude(tone, decoy), 0.198), -20) << r.low << ' ' << decoy;
            }
        }
        const std::vector<int16_t> pause = samples(r.image, 8 * r.on_ms, 8 * r.off_ms);
        EXPECT_TRUE(std::all_of(pause.begin(), pause.end(), [](int16_t s) { return s == 0; }));
    }
    // About 15 s of tone per request.
    const uint32_t loops[] = {15, 30, 7, 5, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tone_loop_count(static_cast<uint32_t>(images.tone(i).size() - 58)), loops[i]);
    // Ringing: 17 pairs of 35 ms of 2090 + 3140 Hz and 35 ms of 2780 Hz, then 2 s of silence.
    const std::vector<uint8_t>& ring = images.tone(TONE_RINGING);
    ASSERT_EQ(ring.size(), 51098u);
    const std::vector<int16_t> a = samples(ring, 0, 280), b = samples(ring, 280, 280);
    for (auto [block, hz, level] :
         {std::tuple{&a, 2090, 0.075}, {&a, 3140, 0.075}, {&b, 2780, 0.25}})
        EXPECT_NEAR(db(amplitude(*block, hz), level), 0, 1) << hz;
    EXPECT_EQ(samples(ring, 16 * 560, 560), samples(ring, 0, 560));
    const std::vector<int16_t> pause = samples(ring, 17 * 560, 16000);
    EXPECT_TRUE(std::all_of(pause.begin(), pause.end(), [](int16_t s) { return s == 0; }));
}

struct tick_record {
    int started = -1;  // digit index whose tone was written
    bool muted = false, playing = false;
};

// One tick as the audio session runs it (in a call: the session's tests): start, the send path,
// the count-down.
tick_record tick(digit_player& player, const tone_images& images) {
    tick_record r;
    const tone_view tone = player.start_digit();
    for (int i = 0; i < DIGIT_TONE_COUNT && tone.data; ++i) {
        if (images.digit(i).data() + 58 == tone.data) r.started = i;
    }
    // The whole image in one write: 80 ms, the beep 100 ms.
    EXPECT_EQ(tone.length, r.started < 0 ? 0u : r.started == 16 ? 1600u : 1280u);
    r.muted = player.mic_muted();
    r.playing = player.digit_playing();
    player.count_down();
    return r;
}

TEST(DigitPlayer, QueueRulesThenDigitsEightyMillisecondsApartMutingHalfASecondPastTheLast) {
    temp_home home;
    const tone_images images;
    digit_player player(images);
    EXPECT_EQ(player.queue_digits("1x2"), 1);
    EXPECT_EQ(player.queued(), 2u);
    EXPECT_NE(home.read("vxl.log").find("Invalid DTMF digit (x)"), std::string::npos);
    EXPECT_EQ(tick(player, images).started, 1);
    player.clear();
    ASSERT_EQ(player.queue_digits(std::string(90, '5').c_str()), 0);
    EXPECT_EQ(player.queue_digits("0123456789"), 1);  // 100: refused whole
    EXPECT_EQ(player.queued(), 90u);
    EXPECT_NE(home.read("vxl.log").find("Digit queue overflow.  Ignored 0123456789"),
              std::string::npos);
    EXPECT_EQ(player.queue_digits("012345678"), 0);
    EXPECT_EQ(player.queued(), 99u);
    // A digit playing when the stream is enabled: all gone at once.
    EXPECT_EQ(tick(player, images).started, 5);
    player.clear();
    EXPECT_EQ(player.queued(), 0u);
    const tick_record cleared = tick(player, images);
    EXPECT_TRUE(cleared.started < 0 && !cleared.muted && !cleared.playing);

    ASSERT_EQ(player.queue_digits("12#@"), 0);
    std::vector<int> starts;
    int muted = 0, last_muted = -1, playing = 0;
    for (int t = 0; t < 120; ++t) {
        const tick_record r = tick(player, images);
        if (r.started >= 0) starts.push_back(t);
        muted += r.muted;
        if (r.muted) last_muted = t;
        playing += r.playing;
    }
    // The beep ("@") plays 100 ms; muted until half a second after its end (580 ms for a digit).
    EXPECT_EQ(std::tuple(starts, playing, last_muted, muted),
              std::tuple(std::vector<int>{0, 8, 16, 24}, 8 * 3 + 10, 24 + 59, 24 + 59 + 1));
}

}  // namespace
}  // namespace voxline::test
