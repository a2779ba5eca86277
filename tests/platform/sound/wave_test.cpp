// The wave API over the virtual card, the sound player, the PortAudio options, timer and queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <tuple>

#include "platform/sound/periodic_schedule.h"
#include "platform/sound/periodic_timer.h"
#include "platform/sound/portaudio_backend.h"
#include "platform/sound/portaudio_config.h"
#include "platform/sound/sound_player.h"
#include "platform/sound/thread_message_queue.h"
#include "platform/sound/wav_file.h"
#include "virtual_card_fixture.h"

namespace voxline::test {
namespace {

using namespace std::chrono_literals;

using WaveVirtual = virtual_card_test_base;

TEST_F(WaveVirtual, OpenCallAndSelectionErrors) {
    select("");
    wave_handle handle = 0;
    for (const wave_format format : {wave_format{1, 1, 16000, 16}, wave_format{1, 2, 8000, 16},
                                     wave_format{1, 1, 8000, 8}, wave_format{3, 1, 8000, 16}}) {
        EXPECT_EQ(wave_in_open(&handle, k_wave_mapper, &format, nullptr, nullptr), 32);
        EXPECT_EQ(wave_out_open(&handle, k_wave_mapper, &format, nullptr, nullptr), 32);
    }
    const wave_format pcm;
    EXPECT_EQ(wave_in_open(&handle, 3, &pcm, nullptr, nullptr), 2);
    EXPECT_EQ(wave_out_open(nullptr, 0, &pcm, nullptr, nullptr), 11);

    done_log log;
    const wave_handle out = open_out(log);
    test_buffer buffer(80);
    EXPECT_EQ(wave_out_write(out, &buffer.header), 34);
    EXPECT_EQ(wave_in_prepare(out, &buffer.header), 5);
    EXPECT_EQ(wave_in_start(0), 5);
    EXPECT_EQ(wave_out_prepare(out, nullptr), 11);
    ASSERT_EQ(wave_out_prepare(out, &buffer.header), WAVE_OK);
    ASSERT_EQ(wave_out_write(out, &buffer.header), WAVE_OK);
    EXPECT_EQ(wave_out_write(out, &buffer.header), 33);
    EXPECT_EQ(wave_out_unprepare(out, &buffer.header), 33);
    EXPECT_EQ(wave_select_backend("virtual"), 4);  // not while a device is open
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    EXPECT_EQ(log.count(), 1u);
    EXPECT_EQ(wave_out_unprepare(out, &buffer.header), 5);
    EXPECT_EQ(wave_out_close(out), 5);

    // Only a working backend opens.
    static int logged = 0;
    wave_set_log_sink([](int, const char*) { ++logged; });
    for (const char* bad : {"virtual:mic=tone:0", "portaudio:rate=1", "nosuch"}) {
        logged = 0;
        EXPECT_EQ(wave_select_backend(bad), 6) << bad;
        EXPECT_EQ(wave_out_open(&handle, 0, &pcm, nullptr, nullptr), 6) << bad;
        EXPECT_EQ(logged, 1) << bad;
    }
    unsetenv("VOXLINE_AUDIO");
    EXPECT_EQ(wave_select_backend(nullptr), WAVE_OK);
    EXPECT_NE(dynamic_cast<portaudio_backend*>(wave_current_backend().get()), nullptr);
    setenv("VOXLINE_AUDIO", "virtual:mic=silence,speaker=discard", 1);
    EXPECT_EQ(wave_select_backend(nullptr), WAVE_OK);
    EXPECT_EQ(wave_out_open(&handle, 0, &pcm, nullptr, nullptr), WAVE_OK);
    EXPECT_EQ(wave_out_close(handle), WAVE_OK);
    unsetenv("VOXLINE_AUDIO");
    wave_set_log_sink(nullptr);
}

TEST_F(WaveVirtual, HeadersPlayInQueueOrderAndLoopsRepeatUntilTheirCountOrABreak) {
    constexpr uint32_t begin = WAVE_HDR_BEGINLOOP, end = WAVE_HDR_ENDLOOP;
    struct row {
        std::vector<std::tuple<int16_t, size_t, uint32_t>> headers;  // value, samples, flags
        uint32_t loops;                                              // on the first header
        int break_after_ticks;                                       // 0: no break
        std::vector<int16_t> played;                                 // one value per 40 samples
    } rows[] = {
        {{{1, 40, 0}, {2, 80, 0}, {3, 40, 0}}, 0, 0, {1, 2, 2, 3, 0, 0}},
        {{{5, 40, begin | end}, {9, 40, 0}}, 3, 0, {5, 5, 5, 9, 0, 0}},
        {{{1, 40, begin}, {2, 40, end}, {3, 40, 0}}, 2, 0, {1, 2, 1, 2, 3, 0}},
        // The third pass has begun by the break: it still plays to its end.
        {{{4, 40, begin | end}, {6, 40, 0}}, 100000, 1, {4, 4, 4, 6, 0, 0}},
        {{{0, 0, begin | end}, {7, 40, 0}}, 4000000000u, 0, {7, 0, 0, 0, 0, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.loops);
        select("");
        done_log log;
        const wave_handle out = open_out(log);
        std::vector<test_buffer> buffers;
        for (const auto& [value, samples, flags] : r.headers) {
            buffers.emplace_back(samples, value);
            buffers.back().header.flags = flags;
        }
        buffers[0].header.loops = r.loops;
        queue_buffers(false, out, buffers);
        if (r.break_after_ticks) {
            ASSERT_TRUE(virtual_card_test::run_ticks(r.break_after_ticks));
            EXPECT_EQ(wave_out_break_loop(out), WAVE_OK);
        }
        ASSERT_TRUE(virtual_card_test::run_ticks(3 - r.break_after_ticks));
        std::vector<int16_t> expected;
        for (int16_t v : r.played) expected.insert(expected.end(), 40, v);
        EXPECT_EQ(speaker(), expected);
        const auto done = log.done();
        ASSERT_EQ(done.size(), buffers.size());
        for (size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i].header, &buffers[i].header);
        wave_out_close(out);
    }
}

// Nothing is called back after a close (with re-queueing callbacks: end to end, every call).
TEST_F(WaveVirtual, ResetAndCloseHandBackEveryHeaderBeforeReturning) {
    select("mic=tone:1000");
    done_log log, input_log;
    const wave_handle out = open_out(log), in = open_in(input_log);
    std::vector<test_buffer> played(3, test_buffer(80, 1)), recorded(2, test_buffer(120));
    queue_buffers(false, out, played);
    ASSERT_EQ(wave_out_reset(out), WAVE_OK);
    auto done = log.done();
    ASSERT_EQ(done.size(), 3u);
    for (size_t i = 0; i < 3; ++i)  // in queue order, from the card's thread
        EXPECT_EQ(std::tuple(done[i].header, done[i].flags & (WAVE_HDR_DONE | WAVE_HDR_INQUEUE),
                             done[i].thread == std::this_thread::get_id()),
                  std::tuple(&played[i].header, WAVE_HDR_DONE, false));

    queue_buffers(true, in, recorded);
    wave_in_start(in);
    ASSERT_TRUE(virtual_card_test::run_ticks(1));
    EXPECT_EQ(input_log.count(), 0u);
    ASSERT_EQ(wave_in_reset(in), WAVE_OK);
    done = input_log.done();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].bytes_recorded, 160u);  // the partly filled header keeps what it has
    EXPECT_EQ(done[1].bytes_recorded, 0u);

    // Reset stopped recording: a new header waits for the next start.
    wave_in_add_buffer(in, &recorded[0].header);
    ASSERT_TRUE(virtual_card_test::run_ticks(2));
    EXPECT_EQ(input_log.count(), 2u);
    wave_out_write(out, &played[0].header);
    ASSERT_EQ(wave_in_close(in), WAVE_OK);
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    EXPECT_EQ(std::pair(input_log.count(), log.count()), std::pair(size_t{3}, size_t{4}));
    wave_out_write(out, &played[1].header);
    ASSERT_TRUE(virtual_card_test::run_ticks(2));
    EXPECT_EQ(log.count(), 4u);
}

// Counts its calls; the first waits for `released`.
struct blocking_callback {
    std::atomic<int> calls{0};
    std::promise<void> entered;
    std::shared_future<void> released;
    static void callback(wave_handle, wave_header*, void* context) {
        auto* self = static_cast<blocking_callback*>(context);
        if (self->calls.fetch_add(1) > 0) return;
        self->entered.set_value();
        self->released.wait_for(10s);
    }
};

TEST_F(WaveVirtual, ResetAndCloseGiveUpOnADriverThatDoesNotAnswer) {
    select("", false);
    std::promise<void> release;
    blocking_callback blocker;
    blocker.released = release.get_future().share();
    const wave_handle handle = open_device(false, blocking_callback::callback, &blocker);
    std::vector<test_buffer> buffers(2, test_buffer(80));
    queue_buffers(false, handle, buffers);
    ASSERT_EQ(blocker.entered.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(wave_out_reset(handle), 1);
    EXPECT_EQ(wave_out_close(handle), 1);
    EXPECT_TRUE(buffers[1].header.flags & WAVE_HDR_INQUEUE);  // still the device's
    release.set_value();
    EXPECT_EQ(wave_out_close(handle), WAVE_OK);
    EXPECT_EQ(blocker.calls.load(), 2);
}

TEST_F(WaveVirtual, TheCardRunsAtMostTenLateTicksAndEchoes50MsLater6DbQuieter) {
    select("echo=50:6");
    done_log log;
    const wave_handle in = open_in(log), out = open_out(log);
    ASSERT_TRUE(virtual_card_test::step_clock(1000));
    EXPECT_EQ(speaker().size(), 11u * 80);
    ASSERT_TRUE(virtual_card_test::step_clock(30));
    EXPECT_EQ(speaker().size(), 3u * 80);
    std::vector<test_buffer> mic(8, test_buffer(80)), burst(1, test_buffer(80, 16000));
    queue_buffers(true, in, mic);
    wave_in_start(in);
    queue_buffers(false, out, burst);
    ASSERT_TRUE(virtual_card_test::run_ticks(8));
    std::vector<int16_t> heard, expected(640, 0);
    for (auto& b : mic) heard.insert(heard.end(), b.pcm.begin(), b.pcm.end());
    std::fill_n(expected.begin() + 400, 80, 8019);
    EXPECT_EQ(heard, expected);
    wave_in_close(in);
    wave_out_close(out);
}

// A new sound cutting the last is heard end to end (digits dialled on hook).
TEST_F(WaveVirtual, TheSoundPlayerPlaysAnImageThenFreesTheOutputAndRefusesWhatItCannotPlay) {
    select("fail=duplex");
    const std::vector<int16_t> digit = ramp(1, 400);  // 50 ms
    std::string error;
    std::vector<uint8_t> wav;
    ASSERT_TRUE(write_wav_file(m_home.file("sound.wav"), digit, error)) << error;
    ASSERT_TRUE(read_binary_file(m_home.file("sound.wav"), wav, error)) << error;
    ASSERT_TRUE(play_sound_async(wav.data(), wav.size()));
    ASSERT_TRUE(virtual_card_test::run_ticks(8));
    EXPECT_EQ(speaker(), digit);
    // A half-duplex card takes an input only once the sound has let go of the output.
    done_log log;
    EXPECT_EQ(wave_in_close(open_in(log)), WAVE_OK);

    const uint8_t junk[] = "RIFF....WAVEfmt ";
    EXPECT_FALSE(play_sound_async(junk, sizeof junk));
    select("fail=busy:out");
    EXPECT_FALSE(play_sound_async(wav.data(), wav.size()));
}

TEST(PortAudioConfig, ParsesNamesWithCommasAndRefusesTheRest) {
    // Text: input, output, rate.
    const std::tuple<const char*, const char*, const char*, uint32_t> good[] = {
        {"", "", "", 0},
        {"rate=48000,out=USB Audio,in=default", "default", "USB Audio", 48000},
        {"in=HDA Intel: ALC892 Analog (hw:0,0),rate=8000", "HDA Intel: ALC892 Analog (hw:0,0)", "",
         8000},
        {"rate=192000", "", "", 192000},
    };
    portaudio_config config;
    std::string error;
    for (const auto& [text, in, out, rate] : good) {
        config = {};
        ASSERT_TRUE(parse_portaudio_config(text, config, error)) << text << ": " << error;
        EXPECT_EQ(std::tie(config.input_name, config.output_name, config.rate),
                  std::make_tuple(std::string(in), std::string(out), rate))
            << text;
    }
    for (const char* bad : {"rate=7999", "rate=192001", "rate=48k", "rate=", "in=", "in=a,in=b",
                            "out=a,", "volume=3"}) {
        error.clear();
        EXPECT_FALSE(parse_portaudio_config(bad, config, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(PeriodicTimer, LateWakesCatchUpAtMostTenTicksAndTheTimerStopsCleanly) {
    // now, ticks run, next deadline; the tick is due at 100 every 10.
    const int64_t rows[][3] = {
        {95, 0, 100},   {100, 1, 110}, {109, 1, 110}, {130, 4, 140},  // three ticks late
        {200, 11, 210},                                               // ten late: all run
        {600, 11, 610},  // fifty late: ten run, the rest skipped, the phase kept
    };
    for (const auto& r : rows) {
        const periodic_step step = periodic_due(r[0], 100, 10, 10);
        EXPECT_EQ(step.ticks, r[1]) << r[0];
        EXPECT_EQ(step.next_deadline, r[2]) << r[0];
    }
    // The timer ticks into a full ring, refuses bad starts and posts nothing after its stop. The
    // 10 ms rate itself is measured by bench/audio (timer_lateness_60s).
    thread_message_queue queue(4);
    for (uint32_t id = 1; id <= 4; ++id) EXPECT_TRUE(queue.post({id, id * 10, 0}));
    EXPECT_FALSE(queue.post({5, 0, 0}));
    thread_message message;
    ASSERT_TRUE(queue.peek(message, false));
    EXPECT_EQ(message.id, 1u);
    for (uint32_t id = 1; id <= 4; ++id) {
        ASSERT_TRUE(queue.get(message, 0));
        EXPECT_EQ(std::pair(message.id, message.wparam), std::pair(id, uintptr_t{id * 10}));
    }
    EXPECT_FALSE(queue.peek(message, false));
    EXPECT_FALSE(queue.get(message, 20));

    periodic_timer timer;
    ASSERT_TRUE(timer.start(10, [&] { queue.post({10000, 0, 0}); }));
    EXPECT_FALSE(timer.start(10, [] {}));
    for (int period : {0, 1001}) EXPECT_FALSE(periodic_timer().start(period, [] {})) << period;
    EXPECT_FALSE(periodic_timer().start(10, nullptr));
    for (int tick = 0; tick < 3; ++tick) ASSERT_TRUE(queue.get(message, 1000)) << tick;
    timer.stop();
    EXPECT_FALSE(timer.running());
    while (queue.peek(message, true)) {
    }
    EXPECT_FALSE(queue.get(message, 50));
}

// Under ThreadSanitizer too (scripts/test).
TEST(ThreadMessageQueue, ManyPostersLoseNothingTheRingHasRoomFor) {
    thread_message_queue queue(4 * 2000);
    std::vector<std::thread> posters;
    for (uint32_t p = 0; p < 4; ++p)
        posters.emplace_back([&, p] {
            for (uintptr_t i = 0; i < 2000; ++i) ASSERT_TRUE(queue.post({p, i, 0}));
        });
    std::vector<uintptr_t> next(4, 0);
    thread_message message;
    for (int received = 0; received < 4 * 2000; ++received) {
        ASSERT_TRUE(queue.get(message, 5000));
        ASSERT_EQ(message.wparam, next[message.id]++);  // each poster's messages in its order
    }
    for (auto& t : posters) t.join();
    EXPECT_FALSE(queue.peek(message, true));
}

}  // namespace
}  // namespace voxline::test
