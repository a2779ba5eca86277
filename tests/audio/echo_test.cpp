#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "audio/echo_canceller.h"
#include "audio/echo_path.h"
#include "audio/echo_supervisor.h"
#include "audio/vxl_statistics.h"
#include "support/temp_home.h"  // the supervision logs

namespace voxline::test {
namespace {

echo_canceller make(int delay_ms, bool notch = false) {
    return echo_canceller({.delay_ms = delay_ms, .notch_mode = notch});
}

using signal = std::function<double(size_t)>;

// Ticks of a call: the microphone (near talker plus echo) processed and sent, then the received
// element (silence unless `far` is given) processed and played into the echo path.
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

TEST(EchoCanceller, DelayClampsAndRoundsUpAndACleanEchoGivesAGoodPingTwentyMillisecondsShort) {
    // Outside 0..100 blocks the delay becomes 10 blocks, a negative one too.
    for (auto [created, reported] :
         {std::pair{200, 200}, {1500, 100}, {-20, 100}, {1010, 100}, {1000, 1000}}) {
        EXPECT_EQ(make(created).get_ping_status().delay_ms, reported) << created;
    }
    echo_canceller rounded = make(130);
    rounded.set_delay(131);
    EXPECT_EQ(rounded.get_ping_status().delay_ms, 140);
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
        EXPECT_TRUE(speech_db > low_db && speech_db < high_db) << notch << ' ' << speech_db;
        EXPECT_GT(decibels(ping_in / std::max(tone_power(sent, 2537, from, to), 1.0)), 20.0)
            << notch;
    }
}

TEST(EchoCanceller, FullScaleSaturatesReceivedPeaksAreLimitedTo16384AndEchoAloneIsCut60Db) {
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
        EXPECT_TRUE(far[1] > 0 && far[2] < 0) << t;
    }
    // A far talker over a 130 ms path, the canceller using the ping's reading for it (110 ms):
    // echo alone is cut by more than 55 dB (to a floor of -60 dB). Double talk is left to the
    // calls between two phones.
    const signal far = [](size_t n) {
        return 3000 * std::sin(2 * M_PI * (300 + 200 * (n / 4000 % 3)) * n / 8000.0);
    };
    for (double echo_db : {6.0, 12.0}) {
        echo_canceller ec = make(110);
        echo_path path(130, echo_db);
        std::vector<int16_t> mic;
        const std::vector<int16_t> sent = run(ec, path, 400, nullptr, far, &mic);
        EXPECT_GE(decibels(energy(mic, 16000) / energy(sent, 16000)), 55.0) << echo_db;
    }
}

// A canceller whose ping states the test sets; it records what it was asked.
struct scripted_canceller : echo_canceller_base {
    int state = NEUTRAL_PING_STATE, delay_ms = 0, pings = 0;
    std::vector<int> delays_set;
    void start_ping() override { ++pings; }
    void set_delay(int ms) override { delays_set.push_back(delay_ms = ms); }
    ping_status get_ping_status() const override { return {state, delay_ms}; }
    void process_near_end(int16_t*) override {}
    void process_far_end(int16_t*) override {}
};

int g_created_ms;
scripted_canceller* g_last = nullptr;

class EchoSupervisor : public ::testing::Test {
  protected:
    void SetUp() override { reset_statistics(0); }
    void enable(echo_supervisor& s, bool redirect = false) {
        echo_setup setup;
        setup.latency_ms = ECHO_LATENCY_CALIBRATE;
        setup.redirect = redirect;
        setup.context = &published;
        setup.publish = [](void* to, int ms) { static_cast<std::vector<int>*>(to)->push_back(ms); };
        s.set_up(setup);
    }
    // Ticks until the canceller is asked for a ping (at most `limit`).
    int ticks_to_ping(int limit) {
        for (int t = 1, before = g_last->pings; t <= limit; ++t) {
            supervisor.supervise();
            if (g_last->pings != before) return t;
        }
        return -1;
    }
    void report(int state, int delay_ms) {
        g_last->state = state;
        g_last->delay_ms = delay_ms;
        supervisor.supervise();
    }

    echo_supervisor supervisor{[](int delay_ms, bool) -> std::unique_ptr<echo_canceller_base> {
        auto canceller = std::make_unique<scripted_canceller>();
        canceller->delay_ms = g_created_ms = delay_ms;
        g_last = canceller.get();
        return canceller;
    }};
    std::vector<int> published;
};

// A reading under 50 ms is replaced by 130 and not published; a redirect
// keeps the delay in use without a new ping.
TEST_F(EchoSupervisor, AGoodPingIsPublishedOnceAndARedirectKeepsIt) {
    for (auto [reading, used] : {std::pair{110, 110}, {50, 50}, {49, 130}}) {
        published.clear();
        enable(supervisor);
        EXPECT_EQ(g_created_ms, 130);
        EXPECT_EQ(ticks_to_ping(100), 50);  // 500 ms after the enable
        report(WAITING_FOR_FIRST_PING, 130);
        report(GOOD_PING, reading);
        report(GOOD_PING, reading);
        EXPECT_EQ(published, used == reading ? std::vector<int>{reading} : std::vector<int>{});
        EXPECT_EQ(g_last->delays_set, used == reading ? std::vector<int>{} : std::vector<int>{130});
        EXPECT_EQ(process_statistics().ping_latency.load(), uint32_t(used));
        enable(supervisor, true);
        EXPECT_EQ(g_created_ms, used) << reading;
        EXPECT_EQ(ticks_to_ping(2000), -1);
    }
}

// The real canceller on a silent path: three failures 11 s apart, the default delay kept.
TEST_F(EchoSupervisor, ASilentPathFailsThreeTimesElevenSecondsApart) {
    echo_supervisor real;
    enable(real);
    std::vector<int> failures;
    for (int tick = 0; tick < 3000 && real.ping_active(); ++tick) {
        const uint32_t before = process_statistics().failed_pings.load();
        real.supervise();
        if (process_statistics().failed_pings.load() != before) failures.push_back(tick);
        int16_t near[80] = {}, far[80] = {};
        real.stage()->process_near_end(near);
        real.stage()->process_far_end(far);
    }
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_NEAR(failures[1] - failures[0], 1100, 5);
    EXPECT_NEAR(failures[2] - failures[1], 1100, 5);
    EXPECT_EQ(real.latency_ms(), 130u);
    EXPECT_TRUE(published.empty());
}

}  // namespace
}  // namespace voxline::test
