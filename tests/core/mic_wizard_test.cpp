#include "core/mic_wizard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/wave_api.h"
#include "support/eventually.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"

namespace voxline::test {
namespace {

std::vector<std::string> level_events(recording_callback& events) {
    std::vector<std::string> levels;
    for (const std::string& e : events.snapshot()) {
        if (e.rfind("GenericEvent 1 ", 0) == 0) levels.push_back(e.substr(15));
    }
    return levels;
}

bool wait_for_a_level(recording_callback& events) {
    return eventually([&] { return !level_events(events).empty(); });
}

class MicWizard : public ::testing::Test {
  protected:
    void select(const std::string& options) {
        ASSERT_EQ(wave_select_backend(("virtual:" + options).c_str()), 0);
    }
    void TearDown() override { wave_select_backend("virtual:mic=silence,speaker=discard"); }

    temp_home home;
    recording_callback events;
};

// Stopping from inside the level event must not wait for the thread it runs on.
class stopping_callback : public recording_callback {
  public:
    mic_wizard* wizard = nullptr;
    int32_t GenericEvent(int32_t event, int32_t p1, int32_t p2, const char* s3, const char* s4,
                         int32_t* o1, char** o2) override {
        const auto before = std::chrono::steady_clock::now();
        wizard->stop();
        stop_took = std::chrono::steady_clock::now() - before;
        return recording_callback::GenericEvent(event, p1, p2, s3, s4, o1, o2);
    }
    std::chrono::steady_clock::duration stop_took{};
};

TEST_F(MicWizard, StopInsideTheLevelEventEndsTheCapture) {
    select("mic=tone:440,speaker=discard");
    stopping_callback stopper;
    mic_wizard wizard;
    stopper.wizard = &wizard;
    wizard.set_callback(&stopper);
    ASSERT_EQ(wizard.start(), 0);
    ASSERT_TRUE(wait_for_a_level(stopper));
    EXPECT_FALSE(wizard.running());
    EXPECT_LT(stopper.stop_took, std::chrono::seconds(5));
    EXPECT_EQ(wizard.start(), 0);  // a fresh capture, not "already running"
    wizard.set_callback(nullptr);
    wizard.stop();
}

TEST_F(MicWizard, StartAndStopFromTwoThreadsLeaveOneConsistentState) {
    select("mic=tone:440,speaker=discard");
    mic_wizard wizard;
    wizard.set_callback(&events);
    auto churn = [&wizard] {
        for (int i = 0; i < 20; ++i) {
            const int32_t rc = wizard.start();
            EXPECT_TRUE(rc == 0 || rc == 1) << rc;
            wizard.stop();
        }
    };
    std::thread other(churn);
    churn();
    other.join();
    EXPECT_FALSE(wizard.running());
    EXPECT_EQ(wizard.start(), 0);
    wizard.stop();
    wizard.set_callback(nullptr);
    EXPECT_EQ(events.references(), 1u);
}

}  // namespace
}  // namespace voxline::test
