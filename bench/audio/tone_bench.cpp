// Building the 17 digit and 5 call-progress images, as every media session
// does when it is created (goal: under 5 ms).
#include <benchmark/benchmark.h>

#include "audio/tone_images.h"

namespace voxline {
namespace {

void build_tone_images(benchmark::State& state) {
    for (auto _ : state) {
        tone_images images;
        benchmark::DoNotOptimize(images.tone(TONE_RINGING).data());
    }
}
BENCHMARK(build_tone_images)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace voxline
