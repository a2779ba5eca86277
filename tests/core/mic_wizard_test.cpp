#include "core/mic_wizard.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/sound/wave_api.h"
#include "support/eventually.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"

namespace voxline::test {
namespace {

// Stops the capture from inside the level event, which must not wait for its own thread.
class stopping_callback : public recording_callback {
  public:
    mic_wizard* wizard = nullptr;
    int32_t GenericEvent(int32_t event, int32_t p1, int32_t p2, const char* s3, const char* s4,
                         int32_t* o1, char** o2) override {
        wizard->stop();
        return recording_callback::GenericEvent(event, p1, p2, s3, s4, o1, o2);
    }
};

TEST(MicWizard, StopInsideTheLevelEventAndStartsAndStopsFromTwoThreads) {
    temp_home home;
    ASSERT_EQ(wave_select_backend("virtual:mic=tone:440,speaker=discard"), 0);
    stopping_callback stopper;
    mic_wizard wizard;
    stopper.wizard = &wizard;
    wizard.set_callback(&stopper);
    ASSERT_EQ(wizard.start(), 0);
    ASSERT_TRUE(eventually([&] { return !stopper.snapshot().empty(); }));
    EXPECT_EQ(stopper.snapshot().front().rfind("GenericEvent 1 ", 0), 0u);
    EXPECT_FALSE(wizard.running());

    recording_callback events;
    wizard.set_callback(&events);
    const auto churn = [&wizard] {
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
    EXPECT_EQ(wizard.start(), 0);  // a fresh capture, not "already running"
    wizard.stop();
    wizard.set_callback(nullptr);
    EXPECT_EQ(std::pair(events.references(), stopper.references()), std::pair(1u, 1u));
    wave_select_backend("virtual:mic=silence,speaker=discard");
}

}  // namespace
}  // namespace voxline::test
