// The 10 ms path on the virtual card: what one tick costs and whether it
// allocates, how late the timer wakes, and how far behind the microphone the
// speaker plays in a mic-to-speaker loopback.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "audio/audio_session.h"
#include "platform/clock.h"
#include "platform/sound/periodic_timer.h"
#include "platform/sound/virtual_test_interface.h"
#include "platform/sound/wave_api.h"
#include "support/temp_home.h"

// Every allocation of the process is counted, so a tick that allocates shows.
static std::atomic<uint64_t> g_allocations{0};
void* operator new(size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace voxline {
namespace {

struct loopback_hooks : tick_hooks {
    uint8_t pending[960];
    bool has_pending = false;
    uint32_t length = 0;
    void send_packet(const uint8_t* pcm, uint32_t bytes) override {
        std::copy(pcm, pcm + bytes, pending);
        length = bytes;
        has_pending = true;
    }
    void receive(audio_session& session) override {
        if (!has_pending) return;
        session.push_decoded(pending);
        has_pending = false;
    }
};

bool start_manual_card() {
    return wave_select_backend("virtual:mic=tone:440,speaker=discard") == WAVE_OK &&
           virtual_card_test::use_manual_clock();
}

// One tick of a G.711 call with 20 ms packets. The card's own 10 ms step is
// left out of the time; allocations are counted over the ticks alone.
void audio_tick_g711_20ms(benchmark::State& state) {
    if (!start_manual_card()) {
        state.SkipWithError("no virtual card");
        return;
    }
    audio_session session(10, 20, 320);
    if (session.open_audio_devices(false) != 0 || session.build_pipelines() != 0) {
        state.SkipWithError("devices refused");
        return;
    }
    session.start_capture();
    loopback_hooks hooks;
    uint64_t allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        virtual_card_test::run_ticks(1);
        const uint64_t before = g_allocations.load();
        state.ResumeTiming();
        session.tick(hooks);
        allocations += g_allocations.load() - before;
    }
    state.counters["allocations_per_tick"] =
        benchmark::Counter(static_cast<double>(allocations) / state.iterations());
    session.close_pipelines();
    session.close_devices();
}
BENCHMARK(audio_tick_g711_20ms);

// Samples between a click at the microphone and the same click at the speaker.
void loopback_mic_to_speaker(benchmark::State& state) {
    for (auto _ : state) {
        if (!start_manual_card()) {
            state.SkipWithError("no virtual card");
            return;
        }
        audio_session session(10, 10, 160);
        session.open_audio_devices(false);
        session.build_pipelines();
        session.start_capture();
        loopback_hooks hooks;
        std::vector<int16_t> mic(8000, 0);
        mic[4000] = 30000;  // the click, 500 ms in
        virtual_card_test::inject_mic(mic.data(), mic.size());
        for (int i = 0; i < 150; ++i) {
            virtual_card_test::run_ticks(1);
            session.tick(hooks);
        }
        std::vector<int16_t> played(80000);
        played.resize(virtual_card_test::take_speaker(played.data(), played.size()));
        const auto click = std::find(played.begin(), played.end(), int16_t{30000});
        const double latency_ms =
            click == played.end() ? -1 : (std::distance(played.begin(), click) - 4000) / 8.0;
        state.counters["latency_ms"] = latency_ms;
        session.close_pipelines();
        session.close_devices();
    }
}
BENCHMARK(loopback_mic_to_speaker)->Iterations(1);

// Timer wake-up lateness over 60 s of 10 ms ticks.
void timer_lateness_60s(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<int64_t> wakes;
        wakes.reserve(7000);
        periodic_timer timer;
        auto now_us = [] {
            timespec t{};
            clock_gettime(CLOCK_MONOTONIC, &t);
            return int64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
        };
        const int64_t start = now_us();
        std::atomic<bool> done{false};
        timer.start(10, [&] {
            if (!done.load()) wakes.push_back(now_us());
        });
        timespec sixty{60, 0};
        nanosleep(&sixty, nullptr);
        done = true;
        timer.stop();
        std::vector<int64_t> late;
        for (size_t i = 0; i < wakes.size(); ++i) {
            late.push_back(wakes[i] - (start + static_cast<int64_t>(i + 1) * 10000));
        }
        std::sort(late.begin(), late.end());
        state.counters["ticks"] = static_cast<double>(wakes.size());
        state.counters["p99_late_ms"] = late.empty() ? -1 : late[late.size() * 99 / 100] / 1000.0;
    }
}
BENCHMARK(timer_lateness_60s)->Iterations(1)->Unit(benchmark::kSecond);

// From the end of a 10 ms capture (its first sample's time + 10 ms) to its
// done callback, on the real-time virtual card, over 10 s.
struct capture_delays {
    std::vector<int64_t> us;
    wave_handle device = 0;
};

void on_captured(wave_handle, wave_header* header, void* context) {
    auto* delays = static_cast<capture_delays*>(context);
    if (header->first_sample_us != 0 && delays->us.size() < delays->us.capacity()) {
        delays->us.push_back(monotonic_us() - (header->first_sample_us + 10000));
    }
    header->bytes_recorded = 0;
    wave_in_add_buffer(delays->device, header);
}

void capture_to_callback(benchmark::State& state) {
    for (auto _ : state) {
        if (wave_select_backend("virtual:mic=tone:440,speaker=discard") != WAVE_OK) {
            state.SkipWithError("no virtual card");
            return;
        }
        capture_delays delays;
        delays.us.reserve(2000);
        const wave_format format;
        wave_in_open(&delays.device, k_wave_mapper, &format, on_captured, &delays);
        std::vector<int16_t> data(4 * 80);
        wave_header headers[4];
        for (int i = 0; i < 4; ++i) {
            headers[i].data = reinterpret_cast<uint8_t*>(data.data() + i * 80);
            headers[i].buffer_length = 160;
            wave_in_prepare(delays.device, &headers[i]);
            wave_in_add_buffer(delays.device, &headers[i]);
        }
        wave_in_start(delays.device);
        timespec ten{10, 0};
        nanosleep(&ten, nullptr);
        wave_in_close(delays.device);
        std::sort(delays.us.begin(), delays.us.end());
        state.counters["buffers"] = static_cast<double>(delays.us.size());
        state.counters["p50_ms"] =
            delays.us.empty() ? -1 : delays.us[delays.us.size() / 2] / 1000.0;
        state.counters["p99_ms"] =
            delays.us.empty() ? -1 : delays.us[delays.us.size() * 99 / 100] / 1000.0;
    }
}
BENCHMARK(capture_to_callback)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace voxline
