#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>

#include "platform/sound/portaudio_backend.h"
#include "platform/sound/wav_file.h"
#include "virtual_card_fixture.h"

namespace voxline::test {
namespace {

using namespace std::chrono_literals;

class WaveVirtual : public virtual_card_test_base {};

TEST_F(WaveVirtual, OpenAndCallErrors) {
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
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    EXPECT_EQ(log.count(), 1u);
    EXPECT_EQ(wave_out_unprepare(out, &buffer.header), 5);
    EXPECT_EQ(wave_out_close(out), 5);
}

std::vector<std::string> g_logged;

TEST(WaveBackendSelection, OnlyAWorkingBackendOpens) {
    wave_set_log_sink([](int, const char* line) { g_logged.push_back(line); });
    const wave_format pcm;
    for (const char* bad : {"virtual:mic=tone:0", "virtual:speaker",
                            "virtual:mic=silence,mic=silence", "portaudio:rate=1", "nosuch"}) {
        g_logged.clear();
        EXPECT_EQ(wave_select_backend(bad), 6) << bad;
        wave_handle handle = 0;
        EXPECT_EQ(wave_out_open(&handle, 0, &pcm, nullptr, nullptr), 6) << bad;
        EXPECT_EQ(g_logged.size(), 1u) << bad;
    }
    for (const char* good : {"virtual", "virtual:"}) {
        g_logged.clear();
        EXPECT_EQ(wave_select_backend(good), WAVE_OK) << good;
        wave_handle handle = 0;
        ASSERT_EQ(wave_out_open(&handle, 0, &pcm, nullptr, nullptr), WAVE_OK) << good;
        EXPECT_EQ(wave_select_backend("virtual"), 4);  // not while a device is open
        EXPECT_EQ(wave_out_close(handle), WAVE_OK);
        EXPECT_TRUE(g_logged.empty()) << good;
    }
    unsetenv("VOXLINE_AUDIO");
    EXPECT_EQ(wave_select_backend(nullptr), WAVE_OK);
    EXPECT_NE(dynamic_cast<portaudio_backend*>(wave_current_backend().get()), nullptr);
    setenv("VOXLINE_AUDIO", "virtual:mic=silence,speaker=discard", 1);
    EXPECT_EQ(wave_select_backend(nullptr), WAVE_OK);
    unsetenv("VOXLINE_AUDIO");
    wave_set_log_sink(nullptr);
}

TEST_F(WaveVirtual, FailModesAndUnusableMicFilesRefuseOpens) {
    std::string error;
    ASSERT_TRUE(write_wav_file(m_home.file("stereo.wav"), ramp(0, 100), error));
    std::string image = m_home.read("stereo.wav");
    image[22] = 2;  // channel count
    m_home.write("stereo.wav", image);
    m_home.write("text.wav", "not a recording");
    struct row {
        std::string options;
        int32_t input, output;
    } rows[] = {{"fail=open:out", 0, 2},
                {"fail=busy:out", 0, 4},
                {"fail=format:in", 32, 0},
                {"mic=" + m_home.file("missing.wav"), 2, 0},
                {"mic=" + m_home.file("stereo.wav"), 32, 0},
                {"mic=" + m_home.file("text.wav"), 32, 0}};
    const wave_format pcm;
    wave_handle in = 0, out = 0;
    for (const auto& r : rows) {
        select(r.options, false);
        in = out = 0;
        EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, nullptr, nullptr), r.input) << r.options;
        EXPECT_EQ(wave_out_open(&out, k_wave_mapper, &pcm, nullptr, nullptr), r.output)
            << r.options;
        if (in) wave_in_close(in);
        if (out) wave_out_close(out);
    }
    // Half duplex, the input first: the output is refused while it is open.
    done_log log;
    select("fail=duplex:out", false);
    in = open_in(log);
    EXPECT_EQ(wave_out_open(&out, k_wave_mapper, &pcm, nullptr, nullptr), 4);
    wave_in_close(in);

    select("", false);
    ASSERT_TRUE(virtual_card_test::set_fault(virtual_fault::busy, virtual_fault_side::input));
    EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, nullptr, nullptr), 4);
}

TEST_F(WaveVirtual, MicFilePlaysAfterInjectedSamplesThenSilence) {
    std::string error;
    ASSERT_TRUE(write_wav_file(m_home.file("mic.wav"), ramp(1, 200), error)) << error;
    select("mic=" + m_home.file("mic.wav"));
    done_log log;
    const wave_handle in = open_in(log);
    std::vector<test_buffer> buffers(4, test_buffer(80));
    queue_buffers(true, in, buffers);
    ASSERT_TRUE(virtual_card_test::run_ticks(3));
    EXPECT_EQ(log.count(), 0u);  // not started: nothing recorded, the file does not advance

    std::vector<int16_t> expected(40, -7);
    ASSERT_TRUE(virtual_card_test::inject_mic(expected.data(), expected.size()));
    ASSERT_EQ(wave_in_start(in), WAVE_OK);
    ASSERT_TRUE(virtual_card_test::run_ticks(4));
    const auto file = ramp(1, 200);
    expected.insert(expected.end(), file.begin(), file.end());
    expected.resize(320, 0);
    const auto done = log.done();
    ASSERT_EQ(done.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(done[i].header, &buffers[i].header);
        EXPECT_EQ(done[i].bytes_recorded, 160u);
        EXPECT_EQ(done[i].flags & (WAVE_HDR_DONE | WAVE_HDR_INQUEUE), WAVE_HDR_DONE);
        EXPECT_EQ(done[i].thread, done[0].thread);
        EXPECT_NE(done[i].thread, std::this_thread::get_id());
        EXPECT_EQ(buffers[i].pcm,
                  std::vector<int16_t>(expected.begin() + i * 80, expected.begin() + i * 80 + 80));
        const int64_t stamp = buffers[i].header.first_sample_us;
        if (i > 0) {
            EXPECT_EQ(stamp - buffers[i - 1].header.first_sample_us, 10000);
        }
    }
    wave_in_close(in);
}

TEST_F(WaveVirtual, MicSourcesStartAfreshAtEachOpen) {
    std::string error;
    ASSERT_TRUE(write_wav_file(m_home.file("mic.wav"), ramp(1, 200), error)) << error;
    struct row {
        std::string mic;
        std::vector<int16_t> first;
    } rows[] = {{"tone:1000", {0, 5657, 8000, 5657, 0, -5657, -8000, -5657, 0}},
                {"tone:2000:100", {0, 100, 0, -100, 0}},
                {m_home.file("mic.wav"), ramp(1, 80)}};
    for (const auto& r : rows) {
        select("mic=" + r.mic);
        for (int open = 0; open < 2; ++open) {
            done_log log;
            const wave_handle in = open_in(log);
            std::vector<test_buffer> buffer(1, test_buffer(80));
            queue_buffers(true, in, buffer);
            wave_in_start(in);
            ASSERT_TRUE(virtual_card_test::run_ticks(1));
            ASSERT_EQ(log.count(), 1u);
            buffer[0].pcm.resize(r.first.size());
            EXPECT_EQ(buffer[0].pcm, r.first) << r.mic << " open " << open;
            wave_in_close(in);
        }
    }
}

TEST_F(WaveVirtual, SpeakerFileGrowsInRealTimeAndIsAppendedAfterTheFirstOpen) {
    const std::string path = m_home.file("speaker.wav");
    std::vector<int16_t> expected, recorded;
    std::string error;
    // Plays one 10 ms header of `value` over `ticks` ticks, then closes.
    auto play = [&](int16_t value, int ticks) {
        done_log log;
        const wave_handle out = open_out(log);
        EXPECT_TRUE(m_home.exists("speaker.wav"));
        std::vector<test_buffer> buffer(1, test_buffer(80, value));
        queue_buffers(false, out, buffer);
        ASSERT_TRUE(virtual_card_test::run_ticks(ticks));
        ASSERT_EQ(wave_out_close(out), WAVE_OK);
        expected.insert(expected.end(), 80, value);
        expected.resize(expected.size() + 80 * (ticks - 1), 0);  // the speaker still advances
        ASSERT_TRUE(read_wav_file(path, recorded, error)) << error;
        EXPECT_EQ(recorded, expected);
    };
    select("speaker=" + path);
    EXPECT_FALSE(m_home.exists("speaker.wav"));
    play(1000, 3);
    play(2000, 1);
    select("speaker=" + path);  // a new card starts the file again
    expected.clear();
    play(3000, 1);
}

TEST_F(WaveVirtual, HeadersPlayInQueueOrderAndLoopsRepeatUntilTheirCountOrABreak) {
    constexpr uint32_t begin = WAVE_HDR_BEGINLOOP, end = WAVE_HDR_ENDLOOP;
    struct header_row {
        int16_t value;
        size_t samples;
        uint32_t flags;
    };
    struct row {
        const char* name;
        std::vector<header_row> headers;
        uint32_t loops;               // on the first header
        int break_after_ticks;        // 0: no break
        std::vector<int16_t> played;  // one value per 40 samples
    } rows[] = {
        {"no loop", {{1, 40, 0}, {2, 80, 0}, {3, 40, 0}}, 0, 0, {1, 2, 2, 3, 0, 0}},
        {"one header three times", {{5, 40, begin | end}, {9, 40, 0}}, 3, 0, {5, 5, 5, 9, 0, 0}},
        {"two headers twice", {{1, 40, begin}, {2, 40, end}, {3, 40, 0}}, 2, 0, {1, 2, 1, 2, 3, 0}},
        // The third pass has begun by the break: it still plays to its end.
        {"a break ends the pass",
         {{4, 40, begin | end}, {6, 40, 0}},
         100000,
         1,
         {4, 4, 4, 6, 0, 0}},
        {"an empty loop ends at once",
         {{0, 0, begin | end}, {7, 40, 0}},
         4000000000u,
         0,
         {7, 0, 0, 0, 0, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        select("");
        done_log log;
        const wave_handle out = open_out(log);
        std::vector<test_buffer> buffers;
        for (const auto& h : r.headers) {
            buffers.emplace_back(h.samples, h.value);
            buffers.back().header.flags = h.flags;
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
        if (r.loops == 0) {  // each header stamped when its first sample played
            EXPECT_EQ(buffers[1].header.first_sample_us - buffers[0].header.first_sample_us, 5000);
            EXPECT_EQ(buffers[2].header.first_sample_us - buffers[1].header.first_sample_us, 10000);
        }
        wave_out_close(out);
    }
}

TEST_F(WaveVirtual, ResetAndCloseHandBackEveryHeaderBeforeReturning) {
    select("mic=tone:1000");
    done_log log, input_log;
    const wave_handle out = open_out(log), in = open_in(input_log);
    std::vector<test_buffer> played(3, test_buffer(80, 1)), recorded(2, test_buffer(120));
    queue_buffers(false, out, played);
    ASSERT_EQ(wave_out_reset(out), WAVE_OK);
    auto done = log.done();
    ASSERT_EQ(done.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(done[i].header, &played[i].header);  // in queue order
        EXPECT_EQ(done[i].flags & (WAVE_HDR_DONE | WAVE_HDR_INQUEUE), WAVE_HDR_DONE);
        EXPECT_NE(done[i].thread, std::this_thread::get_id());
    }

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
    EXPECT_EQ(input_log.count(), 3u);
    EXPECT_EQ(log.count(), 4u);
    wave_out_write(out, &played[1].header);
    ASSERT_TRUE(virtual_card_test::run_ticks(2));
    EXPECT_EQ(log.count(), 4u);
}

// Counts its calls; `on_first` runs inside the first, `on_each` inside every one.
struct scripted_callback {
    wave_handle handle = 0;
    std::atomic<int> calls{0};
    std::function<void(wave_header*)> on_first, on_each;
    static void callback(wave_handle, wave_header* header, void* context) {
        auto* self = static_cast<scripted_callback*>(context);
        if (self->calls.fetch_add(1) == 0 && self->on_first) self->on_first(header);
        if (self->on_each) self->on_each(header);
    }
    void open() { handle = open_device(false, callback, this); }
};

TEST_F(WaveVirtual, ACallbackMayCloseItsOwnDevice) {
    select("");
    scripted_callback closer;
    std::atomic<int32_t> closed{-1};
    closer.on_first = [&](wave_header*) { closed = wave_out_close(closer.handle); };
    closer.open();
    std::vector<test_buffer> buffers(3, test_buffer(40));
    queue_buffers(false, closer.handle, buffers);
    ASSERT_TRUE(virtual_card_test::run_ticks(2));
    EXPECT_EQ(closed.load(), WAVE_OK);
    // The close inside the first callback handed back the others, and ran their callbacks.
    EXPECT_EQ(closer.calls.load(), 3);
    for (auto& b : buffers) EXPECT_TRUE(b.header.flags & WAVE_HDR_DONE);
    EXPECT_EQ(wave_out_close(closer.handle), 5);
}

TEST_F(WaveVirtual, ResetAndCloseGiveUpOnADriverThatDoesNotAnswer) {
    select("", false);
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    scripted_callback blocker;
    blocker.on_first = [&](wave_header*) {
        entered.set_value();
        released.wait_for(10s);
    };
    blocker.open();
    std::vector<test_buffer> buffers(2, test_buffer(80));
    queue_buffers(false, blocker.handle, buffers);
    ASSERT_EQ(entered.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(wave_out_reset(blocker.handle), 1);
    EXPECT_EQ(wave_out_close(blocker.handle), 1);
    EXPECT_TRUE(buffers[1].header.flags & WAVE_HDR_INQUEUE);  // still the device's
    release.set_value();
    EXPECT_EQ(wave_out_close(blocker.handle), WAVE_OK);
    EXPECT_EQ(blocker.calls.load(), 2);
}

TEST_F(WaveVirtual, NoCallbackAfterCloseWhileBuffersCirculate) {
    select("");
    scripted_callback circulating;
    // Refused once the close has begun.
    circulating.on_each = [&](wave_header* h) { wave_out_write(circulating.handle, h); };
    circulating.open();
    std::vector<test_buffer> buffers(4, test_buffer(40));
    queue_buffers(false, circulating.handle, buffers);
    ASSERT_TRUE(virtual_card_test::run_ticks(10));
    ASSERT_EQ(circulating.calls.load(), 20);
    ASSERT_EQ(wave_out_close(circulating.handle), WAVE_OK);
    const int at_close = circulating.calls.load();
    ASSERT_TRUE(virtual_card_test::run_ticks(3));
    EXPECT_EQ(circulating.calls.load(), at_close);
}

TEST_F(WaveVirtual, AClockStepRunsAtMostTenLateTicks) {
    select("");
    done_log log;
    const wave_handle out = open_out(log);
    ASSERT_TRUE(virtual_card_test::step_clock(1000));
    EXPECT_EQ(speaker().size(), 11u * 80);
    ASSERT_TRUE(virtual_card_test::step_clock(30));
    EXPECT_EQ(speaker().size(), 3u * 80);
    wave_out_close(out);
}

TEST_F(WaveVirtual, EchoAddsTheSpeakerLaterAndQuieter) {
    struct row {
        const char* echo;
        size_t delay_samples;
        int16_t level;
    } rows[] = {{"50:6", 400, 8019}, {"0:20", 0, 1600}};
    for (const auto& r : rows) {
        select(std::string("echo=") + r.echo);
        done_log log;
        const wave_handle in = open_in(log), out = open_out(log);
        std::vector<test_buffer> mic(8, test_buffer(80)), burst(1, test_buffer(80, 16000));
        queue_buffers(true, in, mic);
        wave_in_start(in);
        queue_buffers(false, out, burst);
        ASSERT_TRUE(virtual_card_test::run_ticks(8));
        std::vector<int16_t> heard, expected(640, 0);
        for (auto& b : mic) heard.insert(heard.end(), b.pcm.begin(), b.pcm.end());
        std::fill_n(expected.begin() + r.delay_samples, 80, r.level);
        EXPECT_EQ(heard, expected) << r.echo;
        wave_in_close(in);
        wave_out_close(out);
    }
}

}  // namespace
}  // namespace voxline::test
