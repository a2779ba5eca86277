#include "audio/echo_supervisor.h"

#include <gtest/gtest.h>

#include <vector>

#include "audio/vxl_statistics.h"
#include "support/temp_home.h"  // the supervision logs

namespace voxline::test {
namespace {

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

// The real canceller on a silent path: three failures 11 s apart (a 0.5 s
// ping, a second at once, then 10 s), the default delay, nothing published.
TEST_F(EchoSupervisor, ASilentPathFailsThreeTimesElevenSecondsApart) {
    echo_supervisor real;
    enable(real);
    std::vector<int> failures;
    int16_t block[80];
    for (int tick = 0; tick < 3000 && real.ping_active(); ++tick) {
        const uint32_t before = process_statistics().failed_pings.load();
        real.supervise();
        if (process_statistics().failed_pings.load() != before) failures.push_back(tick);
        std::fill(block, block + 80, 0);
        real.stage()->process_near_end(block);
        std::fill(block, block + 80, 0);
        real.stage()->process_far_end(block);
    }
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_NEAR(failures[1] - failures[0], 1100, 5);
    EXPECT_NEAR(failures[2] - failures[1], 1100, 5);
    EXPECT_EQ(real.latency_ms(), 130u);
    EXPECT_TRUE(published.empty());
}

}  // namespace
}  // namespace voxline::test
