// The engine keeps raising events from its thread while the GUI thread
// reconfigures (a fresh sink each time) and finally destroys the control.
#include <gtest/gtest.h>

#include <algorithm>

#include "control/state/state_fixture.h"
#include "support/eventually.h"

namespace voxline::test {

TEST(sink_stress, ten_thousand_events_while_the_gui_reconfigures_and_destroys) {
    constexpr int k_events = 10000;
    constexpr int k_chunk = 500;  // 20 chunks
    auto pool = std::make_shared<engine_pool>();
    auto control = std::make_unique<test_control>(pool);
    control->log_on();
    fake_engine* engine = &control->engine();

    // Ringing carries "configuration#sequence"; Disconnected brings it back to
    // idle so the next ring is shown again.
    std::vector<int> sequences;
    int stale = 0;
    int after_reconfiguration = 0;
    control->on_caller_lookup = [&](const std::string& number) {
        auto hash = number.find('#');
        int configuration = std::stoi(number.substr(0, hash));
        sequences.push_back(std::stoi(number.substr(hash + 1)));
        stale += configuration != engine->configure_count();
        after_reconfiguration += configuration > 1;
    };
    int raised = 0;  // engine thread only
    auto raise = [&raised](IVXLCallback* sink, int configuration) {
        int i = raised++;
        if (i % 2 == 0) {
            sink->Ringing((std::to_string(configuration) + "#" + std::to_string(i)).c_str());
        } else {
            sink->Disconnected(VXL_DISCONNECT_NORMAL);
        }
        sink->PlayTone(VXL_TONE_BUSY);
    };

    auto deliver_while_streaming = [&] {
        return eventually([&] {
            test_control::deliver();
            return engine->streamed();
        });
    };
    for (int chunk = 0; chunk < k_events / k_chunk; ++chunk) {
        engine->stream(k_chunk, raise);
        if (control && chunk % 4 == 1) {
            // The whole chunk waits in the queue when the sink is replaced.
            ASSERT_TRUE(eventually([&] { return engine->streamed(); }));
            control->ConfigureCallManager();
        } else if (control && chunk % 4 == 3) {
            control->ConfigureCallManager();
        }
        if (chunk == 13) {
            // Destroyed with events in flight; the engine keeps raising on its sink.
            control.reset();
        }
        ASSERT_TRUE(deliver_while_streaming());
    }

    EXPECT_EQ(stale, 0);
    EXPECT_GT(sequences.size(), 500u);
    EXPECT_GT(after_reconfiguration, 0);
    EXPECT_TRUE(std::is_sorted(sequences.begin(), sequences.end()));
    EXPECT_EQ(std::adjacent_find(sequences.begin(), sequences.end()), sequences.end());
    EXPECT_LT(sequences.back(), 14 * k_chunk);
    // The sink the engine still holds answers on its own once the control is gone.
    EXPECT_EQ(engine->raise([](IVXLCallback* s) { return s->PlayTone(VXL_TONE_BUSY); }), 1);
}

}  // namespace voxline::test
