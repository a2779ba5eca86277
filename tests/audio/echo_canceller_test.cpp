#include "audio/echo_canceller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "audio/echo_path.h"
#include "audio/spoken.h"

namespace voxline::test {
namespace {

echo_canceller make(int delay_ms, bool notch = false) {
    echo_canceller_config config;
    config.delay_ms = delay_ms;
    config.notch_mode = notch;
    return echo_canceller(config);
}

using signal = std::function<double(size_t)>;

// Ticks of a call: the microphone element (near talker plus echo) is processed
// and sent, then the received one (silence unless `far` is given), which the
// speaker plays into the echo path.
std::vector<int16_t> run(echo_canceller& ec, echo_path& path, int ticks,
                         const signal& near = nullptr, const signal& far = nullptr,
                         std::vector<int16_t>* mic = nullptr) {
    std::vector<int16_t> sent;
    int16_t talk[80], block[80];
    for (int t = 0; t < ticks; ++t) {
        const size_t n = sent.size();
        for (int i = 0; i < 80; ++i) talk[i] = near ? static_cast<int16_t>(near(n + i)) : 0;
        path.microphone(talk, block);
        if (mic) mic->insert(mic->end(), block, block + 80);
        ec.process_near_end(block);
        sent.insert(sent.end(), block, block + 80);
        for (int i = 0; i < 80; ++i) block[i] = far ? static_cast<int16_t>(far(n + i)) : 0;
        ec.process_far_end(block);
        path.speaker(block);
    }
    return sent;
}

TEST(EchoCanceller, CreationClampsAndSetDelayRoundsUp) {
    // Outside 0..100 blocks the delay becomes 10 blocks, a negative one too.
    for (auto [created, reported] :
         {std::pair{200, 200}, {1500, 100}, {-20, 100}, {1010, 100}, {1000, 1000}}) {
        EXPECT_EQ(make(created).get_ping_status().delay_ms, reported) << created;
    }
    echo_canceller ec = make(130);
    ec.set_delay(131);
    EXPECT_EQ(ec.get_ping_status().delay_ms, 140);
}

TEST(EchoCanceller, ACleanEchoGivesAGoodPingTwentyMillisecondsShort) {
    for (int path_ms : {90, 150, 300}) {
        echo_canceller ec = make(130);
        echo_path path(path_ms, 6);
        ec.start_ping();
        run(ec, path, 50);
        EXPECT_EQ(ec.get_ping_status().state, WAITING_FOR_FIRST_PING);
        run(ec, path, 2);  // 51 blocks of detection, then the verdict
        EXPECT_EQ(ec.get_ping_status().state, GOOD_PING) << path_ms;
        EXPECT_EQ(ec.get_ping_status().delay_ms, path_ms - 20);
    }
}

TEST(EchoCanceller, ANoisyPingIsTriedAgainAndTheCleanerReadingKept) {
    // A 1000 Hz tone 1.22 times the echo's amplitude: residual ratio about 0.6.
    // The second ping comes back over 250 ms, cleaner (kept) or noisier (not).
    for (auto [second, expected_ms] : {std::pair{0.0, 230}, {1.6, 130}}) {
        echo_canceller ec = make(100);
        echo_path path(150, 6);
        double level = 1.22 * 2500;
        auto near = [&](size_t n) { return level * std::sin(2 * M_PI * 1000 * n / 8000.0); };
        ec.start_ping();
        run(ec, path, 52, near);
        EXPECT_EQ(ec.get_ping_status().state, LOOKING_FOR_BETTER_PING);
        path.move(250);
        level = second * 2500;
        run(ec, path, 60, near);
        EXPECT_EQ(ec.get_ping_status().state, GOOD_PING);
        EXPECT_EQ(ec.get_ping_status().delay_ms, expected_ms) << second;
    }
}

TEST(EchoCanceller, NotchModeSendsSpeechWithoutThePingMuteModeSendsNeither) {
    auto speech = [](size_t n) { return 4000 * std::sin(2 * M_PI * 500 * n / 8000.0); };
    const size_t from = 10 * 80, to = 40 * 80;  // the ping's echo arrives at block 15
    std::vector<int16_t> reference(to);
    for (size_t n = 0; n < to; ++n) reference[n] = static_cast<int16_t>(speech(n));
    const double ping_in = std::pow(2500.0 * 160 / 2, 2);  // 20 ms at amplitude 2500
    for (auto [notch, low_db, high_db] : {std::tuple{true, -1.0, 1.0}, {false, -100.0, -20.0}}) {
        echo_canceller ec = make(130, notch);
        echo_path path(150, 6);
        run(ec, path, 100, speech);  // settle
        ec.start_ping();
        const std::vector<int16_t> sent = run(ec, path, 50, speech);
        const double speech_db =
            decibels(tone_power(sent, 500, from, to) / tone_power(reference, 500, from, to));
        EXPECT_GT(speech_db, low_db) << notch;
        EXPECT_LT(speech_db, high_db) << notch;
        EXPECT_GT(decibels(ping_in / std::max(tone_power(sent, 2537, from, to), 1.0)), 20.0)
            << notch;
    }
}

TEST(EchoCanceller, FullScaleSaturatesAndReceivedPeaksAreLimitedTo16384) {
    echo_canceller sending = make(130), receiving = make(130);
    for (int t = 0; t < 20; ++t) {
        int16_t near[80], far[80];
        for (int i = 0; i < 80; ++i) near[i] = far[i] = (i % 2) ? 32767 : -32768;
        sending.process_near_end(near);
        receiving.process_far_end(far);
        // Lifted above full scale by the filters: clipped, never wrapped.
        const int peak = std::max(std::abs(int{*std::max_element(far, far + 80)}),
                                  std::abs(int{*std::min_element(far, far + 80)}));
        EXPECT_EQ(near[1] == 32767 && near[2] == -32768, t > 0) << t;
        EXPECT_TRUE(t == 0 ? peak == 32767 : t < 3 || peak <= 16384) << t << ' ' << peak;
        EXPECT_GT(far[1], 0);
        EXPECT_LT(far[2], 0);
    }
}

// Spoken sentences over a 130 ms path, the canceller using the ping's
// reading for it (110 ms): about 60 dB off echo alone, no loss for near
// speech alone, about 4 dB lost in double talk.
TEST(EchoCanceller, EchoIsCutNearSpeechKeptDoubleTalkLosesLittle) {
    const std::vector<int16_t> a = spoken(
        "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs.",
        2000);
    const std::vector<int16_t> b =
        spoken("How vexingly quick daft zebras jump. Sphinx of black quartz, judge my vow.", 4000);
    if (a.empty() || b.empty()) GTEST_SKIP() << "espeak-ng or sox is not installed";
    const signal far = [&](size_t n) { return a[n % a.size()]; };
    const signal near = [&](size_t n) { return b[n % b.size()]; };
    const size_t from = 8000 * 2;  // let the follower settle
    auto call = [](double echo_db, const signal& n, const signal& f, std::vector<int16_t>* mic) {
        echo_canceller ec = make(110);
        echo_path path(130, echo_db);
        return run(ec, path, 2000, n, f, mic);
    };
    for (double echo_db : {6.0, 12.0}) {
        std::vector<int16_t> mic;
        const std::vector<int16_t> sent = call(echo_db, nullptr, far, &mic);
        EXPECT_GE(decibels(energy(mic, from) / energy(sent, from)), 55.0) << echo_db;
    }
    const std::vector<int16_t> near_only = call(12, near, nullptr, nullptr);
    EXPECT_NEAR(decibels(energy(repeat(b, near_only.size()), from) / energy(near_only, from)), 0,
                1);
    // The near talker 6 dB louder than the far one, whose echo is at -12 dB.
    EXPECT_NEAR(decibels(energy(near_only, from) / energy(call(12, near, far, nullptr), from)), 4,
                1.5);
}

}  // namespace
}  // namespace voxline::test
