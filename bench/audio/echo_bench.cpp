// The echo canceller's cost per 10 ms element, each direction, with and
// without a ping running (goal: under 20 us for both together).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/echo_canceller.h"

namespace voxline {
namespace {

// Noise-like speech stand-in: a few tones with a moving level.
std::vector<int16_t> signal(double base_hz, size_t blocks) {
    std::vector<int16_t> s(blocks * 80);
    for (size_t n = 0; n < s.size(); ++n) {
        const double level = 3000 * (1.2 + std::sin(2 * M_PI * 2.0 * n / 8000.0));
        s[n] =
            static_cast<int16_t>(level * (std::sin(2 * M_PI * base_hz * n / 8000.0) +
                                          0.5 * std::sin(2 * M_PI * 3.1 * base_hz * n / 8000.0)));
    }
    return s;
}

// Argument 1: a ping is always running (restarted when the last one ends).
void echo_both_directions(benchmark::State& state) {
    const bool ping = state.range(0) != 0;
    echo_canceller ec(echo_canceller_config{});
    const std::vector<int16_t> near = signal(310, 100), far = signal(470, 100);
    int16_t a[80], b[80];
    size_t block = 0;
    for (auto _ : state) {
        if (ping && block % 102 == 0) ec.start_ping();
        const size_t at = (block % 100) * 80;
        std::copy(&near[at], &near[at] + 80, a);
        std::copy(&far[at], &far[at] + 80, b);
        ec.process_near_end(a);
        ec.process_far_end(b);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        ++block;
    }
    state.SetLabel(ping ? "with ping" : "no ping");
}
BENCHMARK(echo_both_directions)->Arg(0)->Arg(1);

template <bool near_side>
void echo_one_direction(benchmark::State& state) {
    const bool ping = state.range(0) != 0;
    echo_canceller ec(echo_canceller_config{});
    const std::vector<int16_t> input = signal(near_side ? 310 : 470, 100);
    int16_t a[80], other[80] = {};
    size_t block = 0;
    for (auto _ : state) {
        if (ping && block % 102 == 0) {
            ec.start_ping();
            // The request is taken on the far side.
            if (near_side) ec.process_far_end(other);
        }
        const size_t at = (block % 100) * 80;
        std::copy(&input[at], &input[at] + 80, a);
        if (near_side)
            ec.process_near_end(a);
        else
            ec.process_far_end(a);
        benchmark::DoNotOptimize(a);
        ++block;
    }
}
void echo_process_near_end(benchmark::State& state) {
    echo_one_direction<true>(state);
}
void echo_process_far_end(benchmark::State& state) {
    echo_one_direction<false>(state);
}
BENCHMARK(echo_process_near_end)->Arg(0)->Arg(1);
BENCHMARK(echo_process_far_end)->Arg(0)->Arg(1);

}  // namespace
}  // namespace voxline
