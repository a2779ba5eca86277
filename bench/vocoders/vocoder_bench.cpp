// Encode and decode cost of each codec, reported per 10 ms of audio
// ("per_10ms" is the time for one 10 ms tick's worth).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "vocoders/vocoder.h"

namespace voxline {
namespace {

std::vector<int16_t> speech_like(size_t samples) {
    std::vector<int16_t> pcm(samples);
    uint32_t noise = 1;
    for (size_t i = 0; i < samples; ++i) {
        noise = noise * 1664525 + 1013904223;
        const double t = double(i) / 8000.0;
        pcm[i] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * 180 * t) +
                                      2500 * std::sin(2 * M_PI * 720 * t) +
                                      static_cast<int16_t>(noise >> 16) / 32);
    }
    return pcm;
}

// One packet of one frame; the counter turns the time per frame into time per 10 ms.
void set_rate(benchmark::State& state, const vocoder_t& v) {
    const double tenths_per_frame = double(v.info().frame_ms) / 10.0;
    state.counters["per_10ms"] =
        benchmark::Counter(tenths_per_frame, benchmark::Counter::kIsIterationInvariantRate |
                                                 benchmark::Counter::kInvert);
}

void encode(benchmark::State& state) {
    auto v = create_vocoder(static_cast<int>(state.range(0)), 1);
    const std::vector<int16_t> pcm = speech_like(v->decoded_frame_size() / 2 * 100);
    std::vector<uint8_t> out(v->encoded_frame_size());
    const size_t frame_samples = v->decoded_frame_size() / 2;
    size_t at = 0;
    for (auto _ : state) {
        uint32_t written = 0;
        v->encode(pcm.data() + at, v->decoded_frame_size(), out.data(),
                  static_cast<uint32_t>(out.size()), &written);
        benchmark::DoNotOptimize(out.data());
        at = (at + frame_samples) % pcm.size();
    }
    state.SetLabel(v->info().short_name);
    set_rate(state, *v);
}

void decode(benchmark::State& state) {
    auto v = create_vocoder(static_cast<int>(state.range(0)), 1);
    const size_t frame_samples = v->decoded_frame_size() / 2;
    const std::vector<int16_t> pcm = speech_like(frame_samples * 100);
    std::vector<uint8_t> stream(v->encoded_frame_size() * 100);
    auto encoder = create_vocoder(static_cast<int>(state.range(0)), 1);
    for (size_t f = 0; f < 100; ++f) {
        uint32_t written = 0;
        encoder->encode(pcm.data() + f * frame_samples, v->decoded_frame_size(),
                        stream.data() + f * v->encoded_frame_size(), v->encoded_frame_size(),
                        &written);
    }
    std::vector<int16_t> out(frame_samples);
    size_t f = 0;
    for (auto _ : state) {
        uint32_t bytes = 0;
        v->decode(stream.data() + f * v->encoded_frame_size(), v->encoded_frame_size(), out.data(),
                  v->decoded_frame_size(), &bytes);
        benchmark::DoNotOptimize(out.data());
        f = (f + 1) % 100;
    }
    state.SetLabel(v->info().short_name);
    set_rate(state, *v);
}

BENCHMARK(encode)->Arg(VOCODER_G711U)->Arg(VOCODER_G711A)->Arg(VOCODER_G729)->Arg(VOCODER_G723);
BENCHMARK(decode)->Arg(VOCODER_G711U)->Arg(VOCODER_G711A)->Arg(VOCODER_G729)->Arg(VOCODER_G723);

}  // namespace
}  // namespace voxline
