#include "audio/mic_level_meter.h"

#include <gtest/gtest.h>

#include <vector>

namespace voxline::test {
namespace {

// Reports from `buffers` 10 ms buffers of a square wave of the given amplitude.
std::vector<int32_t> levels_for(mic_level_meter& meter, int16_t amplitude, int buffers) {
    std::vector<int16_t> samples(80);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(i % 2 ? amplitude : -amplitude);
    }
    std::vector<int32_t> reported;
    for (int b = 0; b < buffers; ++b) {
        if (auto level = meter.add_buffer(samples.data(), samples.size()))
            reported.push_back(*level);
    }
    return reported;
}

TEST(MicLevel, AmplitudesMapToTheLevelScale) {
    const std::pair<int64_t, int32_t> rows[] = {
        {0, 0},      {99, 0},     {2000, 20},   {4000, 40},   {4001, 40},
        {10000, 55}, {27499, 99}, {27500, 100}, {32768, 100},
    };
    for (auto [amplitude, level] : rows)
        EXPECT_EQ(mic_level_for_amplitude(amplitude), level) << amplitude;
}

TEST(MicLevel, ReportsOncePerChangeEvery110Ms) {
    mic_level_meter meter;
    // Silence from the start reports nothing: the level starts at 0.
    EXPECT_TRUE(levels_for(meter, 0, 33).empty());
    // Ten buffers close no window; the eleventh does.
    EXPECT_TRUE(levels_for(meter, 2000, 10).empty());
    EXPECT_EQ(levels_for(meter, 2000, 1), std::vector<int32_t>{20});
    // A steady level is not repeated.
    EXPECT_TRUE(levels_for(meter, 2000, 44).empty());
    EXPECT_EQ(levels_for(meter, 10000, 11), std::vector<int32_t>{55});
    EXPECT_EQ(levels_for(meter, 32767, 11), std::vector<int32_t>{100});
    // Silence after speech: 0 once, then nothing.
    EXPECT_EQ(levels_for(meter, 0, 44), std::vector<int32_t>{0});
}

TEST(MicLevel, TheLoudestBufferOfAWindowCounts) {
    mic_level_meter meter;
    levels_for(meter, 0, 5);
    levels_for(meter, 10000, 1);
    EXPECT_EQ(levels_for(meter, 100, 5), std::vector<int32_t>{55});
}

}  // namespace
}  // namespace voxline::test
