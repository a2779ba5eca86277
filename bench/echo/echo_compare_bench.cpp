// The call's echo suppressor against speexdsp's linear canceller on the same
// simulated room: a pure 130 ms delay, echo at -6 dB, spoken sentences.
// Reported per method: CPU per 10 ms (the benchmark's time), echo cut
// ("echo_cut_db", echo alone) and the near talker's loss in double talk
// ("double_talk_loss_db": near 6 dB louder than far, echo at -12 dB, against
// the near talker alone).
#include <benchmark/benchmark.h>
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <array>
#include <deque>
#include <memory>
#include <vector>

#include "audio/echo_canceller.h"
#include "audio/echo_path.h"
#include "spoken.h"

namespace voxline {
namespace {

using test::decibels;
using test::echo_path;
using test::energy;

constexpr int PATH_MS = 130;
constexpr int PING_READING_MS = PATH_MS - 20;

// One method: the far element before the speaker, then the microphone element.
struct method {
    virtual ~method() = default;
    virtual void far(int16_t* element) = 0;
    virtual void near(int16_t* element) = 0;
};

struct suppressor_method : method {
    echo_canceller ec{[] {
        echo_canceller_config c;
        c.delay_ms = PING_READING_MS;
        return c;
    }()};
    void far(int16_t* e) override { ec.process_far_end(e); }
    void near(int16_t* e) override { ec.process_near_end(e); }
};

// speexdsp with a filter of `filter_ms`, its far reference delayed by
// `reference_delay_ms`, optionally followed by its preprocessor.
struct speex_method : method {
    SpeexEchoState* echo;
    SpeexPreprocessState* pre = nullptr;
    std::deque<std::array<int16_t, 80>> played;
    size_t delay_blocks;
    speex_method(int filter_ms, int reference_delay_ms, bool preprocess)
        : echo(speex_echo_state_init(80, filter_ms * 8)),
          delay_blocks(static_cast<size_t>(reference_delay_ms / 10)) {
        int rate = 8000;
        speex_echo_ctl(echo, SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
        if (preprocess) {
            pre = speex_preprocess_state_init(80, 8000);
            speex_preprocess_ctl(pre, SPEEX_PREPROCESS_SET_ECHO_STATE, echo);
        }
        played.assign(delay_blocks + 1, {});
    }
    ~speex_method() override {
        if (pre) speex_preprocess_state_destroy(pre);
        speex_echo_state_destroy(echo);
    }
    void far(int16_t* e) override {
        std::array<int16_t, 80> block;
        std::copy(e, e + 80, block.begin());
        played.push_back(block);
        played.pop_front();
    }
    void near(int16_t* e) override {
        int16_t out[80];
        speex_echo_cancellation(echo, e, played.front().data(), out);
        if (pre) speex_preprocess_run(pre, out);
        std::copy(out, out + 80, e);
    }
};

std::unique_ptr<method> make(int which) {
    switch (which) {
        case 0:
            return std::make_unique<suppressor_method>();
        case 1:
            return std::make_unique<speex_method>(256, 0, false);
        case 2:
            return std::make_unique<speex_method>(256, 0, true);
        case 3:
            return std::make_unique<speex_method>(64, PING_READING_MS, false);
        default:
            return std::make_unique<speex_method>(64, PING_READING_MS, true);
    }
}
const char* const k_names[] = {"suppressor", "speex 256 ms", "speex 256 ms + preprocess",
                               "speex 64 ms, delayed far", "speex 64 ms, delayed far + preprocess"};

struct speech {
    std::vector<int16_t> far, near, none;
    bool ok = false;
};
const speech& sentences() {
    static const speech s = [] {
        speech r;
        const auto a = test::spoken(
            "The quick brown fox jumps over the lazy dog. Pack my box with five dozen jugs.", 2000);
        const auto b = test::spoken(
            "How vexingly quick daft zebras jump. Sphinx of black quartz, judge my vow.", 4000);
        if (a.empty() || b.empty()) return r;
        const size_t length = 8000 * 20;
        r.far = test::repeat(a, length);
        r.near = test::repeat(b, length);
        r.none.assign(length, 0);
        r.ok = true;
        return r;
    }();
    return s;
}

struct run_result {
    std::vector<int16_t> mic, sent;
};
run_result simulate(int which, const std::vector<int16_t>& far, const std::vector<int16_t>& near,
                    double echo_db) {
    auto m = make(which);
    echo_path path(PATH_MS, echo_db);
    run_result r;
    int16_t block[80];
    for (size_t t = 0; t + 80 <= near.size(); t += 80) {
        path.microphone(&near[t], block);
        r.mic.insert(r.mic.end(), block, block + 80);
        m->near(block);
        r.sent.insert(r.sent.end(), block, block + 80);
        std::copy(&far[t], &far[t] + 80, block);
        m->far(block);
        path.speaker(block);
    }
    return r;
}

void echo_method(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const speech& s = sentences();
    if (!s.ok) {
        state.SkipWithError("espeak-ng is not installed");
        return;
    }
    const size_t from = 8000 * 4;  // after the adaptation
    const run_result echo_only = simulate(which, s.far, s.none, 6);
    const run_result near_only = simulate(which, s.none, s.near, 12);
    const run_result both = simulate(which, s.far, s.near, 12);

    auto m = make(which);
    int16_t a[80], b[80];
    size_t at = 0;
    for (auto _ : state) {
        std::copy(&echo_only.mic[at], &echo_only.mic[at] + 80, a);
        std::copy(&s.far[at], &s.far[at] + 80, b);
        m->near(a);
        m->far(b);
        benchmark::DoNotOptimize(a);
        at = (at + 80) % (s.far.size() - 80);
    }
    state.counters["echo_cut_db"] =
        decibels(energy(echo_only.mic, from) / std::max(energy(echo_only.sent, from), 1.0));
    state.counters["double_talk_loss_db"] =
        decibels(energy(near_only.sent, from) / std::max(energy(both.sent, from), 1.0));
    state.counters["near_alone_loss_db"] =
        decibels(energy(s.near, from) / std::max(energy(near_only.sent, from), 1.0));
    state.SetLabel(k_names[which]);
}
BENCHMARK(echo_method)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace voxline
