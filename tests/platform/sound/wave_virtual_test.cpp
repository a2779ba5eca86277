#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>

#include "platform/sound/portaudio_backend.h"
#include "platform/sound/wav_file.h"
#include "virtual_card_fixture.h"

namespace voxline::test {
namespace {

using namespace std::chrono_literals;

class WaveVirtual : public virtual_card_test_base {};

std::vector<int16_t> ramp(int from, int count) {
    std::vector<int16_t> samples(count);
    for (int i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(from + i);
    return samples;
}

std::vector<int16_t> samples_of(const wave_header& header, size_t count) {
    const auto* pcm = reinterpret_cast<const int16_t*>(header.data);
    return std::vector<int16_t>(pcm, pcm + count);
}

TEST_F(WaveVirtual, OpenAndCallErrors) {
    select("");
    struct bad_format {
        wave_format format;
        int32_t expected;
    } formats[] = {{{1, 1, 16000, 16}, WAVE_BAD_FORMAT},
                   {{1, 2, 8000, 16}, WAVE_BAD_FORMAT},
                   {{1, 1, 8000, 8}, WAVE_BAD_FORMAT},
                   {{3, 1, 8000, 16}, WAVE_BAD_FORMAT}};
    wave_handle handle = 0;
    for (const auto& row : formats) {
        EXPECT_EQ(wave_in_open(&handle, k_wave_mapper, &row.format, nullptr, nullptr),
                  row.expected);
        EXPECT_EQ(wave_out_open(&handle, k_wave_mapper, &row.format, nullptr, nullptr),
                  row.expected);
    }
    const wave_format pcm;
    EXPECT_EQ(wave_in_open(&handle, 3, &pcm, nullptr, nullptr), WAVE_BAD_DEVICE_ID);
    EXPECT_EQ(wave_out_open(nullptr, 0, &pcm, nullptr, nullptr), WAVE_INVALID_PARAM);

    done_log log;
    const wave_handle out = open_out(log);
    test_buffer buffer(80);
    EXPECT_EQ(wave_out_write(out, &buffer.header), WAVE_UNPREPARED);
    EXPECT_EQ(wave_in_prepare(out, &buffer.header), WAVE_INVALID_HANDLE);
    EXPECT_EQ(wave_in_start(0), WAVE_INVALID_HANDLE);
    EXPECT_EQ(wave_out_prepare(out, nullptr), WAVE_INVALID_PARAM);
    ASSERT_EQ(wave_out_prepare(out, &buffer.header), WAVE_OK);
    ASSERT_EQ(wave_out_write(out, &buffer.header), WAVE_OK);
    EXPECT_EQ(wave_out_write(out, &buffer.header), WAVE_STILL_PLAYING);
    EXPECT_EQ(wave_out_unprepare(out, &buffer.header), WAVE_STILL_PLAYING);
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    EXPECT_EQ(log.count(), 1u);
    EXPECT_EQ(wave_out_unprepare(out, &buffer.header), WAVE_INVALID_HANDLE);
    EXPECT_EQ(wave_out_close(out), WAVE_INVALID_HANDLE);
}

std::vector<std::string> g_logged;
void keep_line(int, const char* line) {
    g_logged.push_back(line);
}

TEST(WaveBackendSelection, OnlyAWorkingBackendOpens) {
    wave_set_log_sink(keep_line);
    struct row {
        const char* selection;
        int32_t expected;
    } rows[] = {{"virtual:mic=tone:0", WAVE_NO_DRIVER},
                {"virtual:speaker", WAVE_NO_DRIVER},
                {"virtual:mic=silence,mic=silence", WAVE_NO_DRIVER},
                {"portaudio:rate=1", WAVE_NO_DRIVER},
                {"nosuch", WAVE_NO_DRIVER},
                {"virtual", WAVE_OK},
                {"virtual:", WAVE_OK}};
    const wave_format pcm;
    for (const auto& r : rows) {
        g_logged.clear();
        EXPECT_EQ(wave_select_backend(r.selection), r.expected) << r.selection;
        wave_handle handle = 0;
        const int32_t opened = wave_out_open(&handle, 0, &pcm, nullptr, nullptr);
        EXPECT_EQ(opened, r.expected) << r.selection;
        EXPECT_EQ(g_logged.size(), r.expected == WAVE_OK ? 0u : 1u) << r.selection;
        if (opened == WAVE_OK) {
            EXPECT_EQ(wave_select_backend("virtual"), WAVE_ALLOCATED);
            EXPECT_EQ(wave_out_close(handle), WAVE_OK);
        }
    }
    unsetenv("VOXLINE_AUDIO");
    EXPECT_EQ(wave_select_backend(nullptr), WAVE_OK);
    EXPECT_NE(dynamic_cast<portaudio_backend*>(wave_current_backend().get()), nullptr);
    setenv("VOXLINE_AUDIO", "virtual:mic=silence,speaker=discard", 1);
    EXPECT_EQ(wave_select_backend(nullptr), WAVE_OK);
    unsetenv("VOXLINE_AUDIO");
    wave_set_log_sink(nullptr);
}

TEST_F(WaveVirtual, FailModesRefuseOpens) {
    struct row {
        const char* fail;
        int32_t input;
        int32_t output;
    } rows[] = {{"open", 2, 2},     {"busy", 4, 4},     {"format", 32, 32},
                {"open:out", 0, 2}, {"busy:out", 0, 4}, {"format:in", 32, 0}};
    const wave_format pcm;
    for (const auto& r : rows) {
        select(std::string("fail=") + r.fail, false);
        wave_handle in = 0, out = 0;
        EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, nullptr, nullptr), r.input) << r.fail;
        EXPECT_EQ(wave_out_open(&out, k_wave_mapper, &pcm, nullptr, nullptr), r.output) << r.fail;
        if (in) wave_in_close(in);
        if (out) wave_out_close(out);
    }

    // A half-duplex card refuses the input while the output is open (or, with :out, the
    // other way round).
    done_log log;
    select("fail=duplex", false);
    wave_handle out = open_out(log), in = 0;
    EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, nullptr, nullptr), WAVE_ALLOCATED);
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    in = open_in(log);
    out = open_out(log);
    EXPECT_NE(out, 0);
    wave_in_close(in);
    wave_out_close(out);

    select("fail=duplex:out", false);
    in = open_in(log);
    EXPECT_EQ(wave_out_open(&out, k_wave_mapper, &pcm, nullptr, nullptr), WAVE_ALLOCATED);
    wave_in_close(in);

    select("", false);
    ASSERT_TRUE(virtual_card_test::set_fault(virtual_fault::busy, virtual_fault_side::input));
    EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, nullptr, nullptr), WAVE_ALLOCATED);
}

TEST_F(WaveVirtual, MicFilePlaysFromItsStartAtEachOpenThenSilence) {
    std::string error;
    ASSERT_TRUE(write_wav_file(m_home.file("mic.wav"), ramp(1, 200), error)) << error;
    select("mic=" + m_home.file("mic.wav"));
    done_log log;
    const wave_handle in = open_in(log);
    std::vector<test_buffer> buffers(4, test_buffer(80));
    for (auto& b : buffers) {
        ASSERT_EQ(wave_in_prepare(in, &b.header), WAVE_OK);
        ASSERT_EQ(wave_in_add_buffer(in, &b.header), WAVE_OK);
    }
    ASSERT_TRUE(virtual_card_test::run_ticks(3));
    EXPECT_EQ(log.count(), 0u);  // not started: nothing recorded, the file does not advance

    const std::vector<int16_t> injected(40, -7);
    ASSERT_TRUE(virtual_card_test::inject_mic(injected.data(), injected.size()));
    ASSERT_EQ(wave_in_start(in), WAVE_OK);
    ASSERT_TRUE(virtual_card_test::run_ticks(4));
    const auto done = log.done();
    ASSERT_EQ(done.size(), 4u);
    std::vector<int16_t> expected = injected;
    const auto file = ramp(1, 200);
    expected.insert(expected.end(), file.begin(), file.end());
    expected.resize(320, 0);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(done[i].header, &buffers[i].header);
        EXPECT_EQ(done[i].bytes_recorded, 160u);
        EXPECT_EQ(done[i].flags & (WAVE_HDR_DONE | WAVE_HDR_INQUEUE), WAVE_HDR_DONE);
        EXPECT_EQ(done[i].thread, done[0].thread);
        EXPECT_NE(done[i].thread, std::this_thread::get_id());
        EXPECT_EQ(samples_of(buffers[i].header, 80),
                  std::vector<int16_t>(expected.begin() + i * 80, expected.begin() + i * 80 + 80));
        if (i > 0) {
            EXPECT_EQ(buffers[i].header.first_sample_us - buffers[i - 1].header.first_sample_us,
                      10000);
        }
    }
    ASSERT_EQ(wave_in_close(in), WAVE_OK);

    const wave_handle again = open_in(log);
    test_buffer first(80);
    wave_in_prepare(again, &first.header);
    wave_in_add_buffer(again, &first.header);
    wave_in_start(again);
    ASSERT_TRUE(virtual_card_test::run_ticks(1));
    EXPECT_EQ(samples_of(first.header, 80), ramp(1, 80));
    wave_in_close(again);
}

TEST_F(WaveVirtual, MicFileThatCannotBeUsedRefusesTheOpen) {
    std::string error;
    ASSERT_TRUE(write_wav_file(m_home.file("stereo.wav"), ramp(0, 100), error));
    std::string image = m_home.read("stereo.wav");
    image[22] = 2;  // channel count
    m_home.write("stereo.wav", image);
    m_home.write("text.wav", "not a recording");
    struct row {
        std::string file;
        int32_t expected;
    } rows[] = {{m_home.file("missing.wav"), WAVE_BAD_DEVICE_ID},
                {m_home.file("stereo.wav"), WAVE_BAD_FORMAT},
                {m_home.file("text.wav"), WAVE_BAD_FORMAT}};
    const wave_format pcm;
    for (const auto& r : rows) {
        select("mic=" + r.file, false);
        wave_handle in = 0;
        EXPECT_EQ(wave_in_open(&in, k_wave_mapper, &pcm, nullptr, nullptr), r.expected);
    }
}

TEST_F(WaveVirtual, ToneStartsAtPhaseZero) {
    struct row {
        const char* mic;
        std::vector<int16_t> first;
    } rows[] = {{"tone:1000", {0, 5657, 8000, 5657, 0, -5657, -8000, -5657, 0}},
                {"tone:2000:100", {0, 100, 0, -100, 0}}};
    for (const auto& r : rows) {
        select(std::string("mic=") + r.mic);
        done_log log;
        const wave_handle in = open_in(log);
        test_buffer buffer(80);
        wave_in_prepare(in, &buffer.header);
        wave_in_add_buffer(in, &buffer.header);
        wave_in_start(in);
        ASSERT_TRUE(virtual_card_test::run_ticks(1));
        ASSERT_EQ(log.count(), 1u);
        EXPECT_EQ(samples_of(buffer.header, r.first.size()), r.first) << r.mic;
        wave_in_close(in);
    }
}

TEST_F(WaveVirtual, SpeakerFileGrowsInRealTimeAndIsAppendedAfterTheFirstOpen) {
    const std::string path = m_home.file("speaker.wav");
    select("speaker=" + path);
    EXPECT_FALSE(m_home.exists("speaker.wav"));
    done_log log;
    wave_handle out = open_out(log);
    EXPECT_TRUE(m_home.exists("speaker.wav"));
    test_buffer loud(80, 1000);
    wave_out_prepare(out, &loud.header);
    wave_out_write(out, &loud.header);
    ASSERT_TRUE(virtual_card_test::run_ticks(3));
    ASSERT_EQ(wave_out_close(out), WAVE_OK);

    std::vector<int16_t> expected(80, 1000);
    expected.resize(240, 0);  // nothing queued: the speaker still advances
    std::vector<int16_t> recorded;
    std::string error;
    ASSERT_TRUE(read_wav_file(path, recorded, error)) << error;
    EXPECT_EQ(recorded, expected);

    out = open_out(log);
    test_buffer second(80, 2000);
    wave_out_prepare(out, &second.header);
    wave_out_write(out, &second.header);
    ASSERT_TRUE(virtual_card_test::run_ticks(1));
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    expected.insert(expected.end(), 80, 2000);
    ASSERT_TRUE(read_wav_file(path, recorded, error)) << error;
    EXPECT_EQ(recorded, expected);

    // A new card starts the file again.
    select("speaker=" + path);
    out = open_out(log);
    ASSERT_EQ(wave_out_close(out), WAVE_OK);
    ASSERT_TRUE(read_wav_file(path, recorded, error)) << error;
    EXPECT_TRUE(recorded.empty());
}

TEST_F(WaveVirtual, OutputPlaysInQueueOrderAndStampsFirstSamples) {
    select("");
    done_log log;
    const wave_handle out = open_out(log);
    std::vector<test_buffer> buffers;
    for (int16_t v : {1, 2, 3}) buffers.emplace_back(120, v);
    for (auto& b : buffers) {
        wave_out_prepare(out, &b.header);
        ASSERT_EQ(wave_out_write(out, &b.header), WAVE_OK);
    }
    ASSERT_TRUE(virtual_card_test::run_ticks(5));
    std::vector<int16_t> expected;
    for (int16_t v : {1, 2, 3}) expected.insert(expected.end(), 120, v);
    expected.resize(400, 0);
    EXPECT_EQ(speaker(), expected);
    const auto done = log.done();
    ASSERT_EQ(done.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(done[i].header, &buffers[i].header);
    EXPECT_EQ(buffers[1].header.first_sample_us - buffers[0].header.first_sample_us, 15000);
    EXPECT_EQ(buffers[2].header.first_sample_us - buffers[1].header.first_sample_us, 15000);
    wave_out_close(out);
}

TEST_F(WaveVirtual, LoopsRepeatUntilTheirCountOrABreak) {
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
        select("");
        done_log log;
        const wave_handle out = open_out(log);
        std::vector<test_buffer> buffers;
        for (const auto& h : r.headers) buffers.emplace_back(h.samples, h.value);
        for (size_t i = 0; i < buffers.size(); ++i) {
            buffers[i].header.flags = r.headers[i].flags;
            buffers[i].header.loops = i == 0 ? r.loops : 0;
            wave_out_prepare(out, &buffers[i].header);
            wave_out_write(out, &buffers[i].header);
        }
        if (r.break_after_ticks) {
            ASSERT_TRUE(virtual_card_test::run_ticks(r.break_after_ticks));
            EXPECT_EQ(wave_out_break_loop(out), WAVE_OK);
        }
        ASSERT_TRUE(virtual_card_test::run_ticks(3 - r.break_after_ticks));
        std::vector<int16_t> expected;
        for (int16_t v : r.played) expected.insert(expected.end(), 40, v);
        EXPECT_EQ(speaker(), expected) << r.name;
        const auto done = log.done();
        ASSERT_EQ(done.size(), buffers.size()) << r.name;
        for (size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i].header, &buffers[i].header);
        wave_out_close(out);
    }
}

TEST_F(WaveVirtual, ResetAndCloseHandBackEveryHeaderBeforeReturning) {
    select("mic=tone:1000");
    done_log log;
    const wave_handle out = open_out(log);
    std::vector<test_buffer> played(3, test_buffer(80, 1));
    for (auto& b : played) {
        wave_out_prepare(out, &b.header);
        wave_out_write(out, &b.header);
    }
    ASSERT_EQ(wave_out_reset(out), WAVE_OK);
    auto done = log.done();
    ASSERT_EQ(done.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(done[i].header, &played[i].header);
        EXPECT_EQ(played[i].header.flags & (WAVE_HDR_DONE | WAVE_HDR_INQUEUE), WAVE_HDR_DONE);
        EXPECT_NE(done[i].thread, std::this_thread::get_id());
    }

    done_log input_log;
    const wave_handle in = open_in(input_log);
    std::vector<test_buffer> recorded(2, test_buffer(120));
    for (auto& b : recorded) {
        wave_in_prepare(in, &b.header);
        wave_in_add_buffer(in, &b.header);
    }
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

struct closing_callback {
    wave_handle handle = 0;
    std::atomic<int> calls{0};
    std::atomic<int32_t> close_result{-1};
    static void callback(wave_handle handle, wave_header*, void* context) {
        auto* self = static_cast<closing_callback*>(context);
        if (self->calls.fetch_add(1) == 0) self->close_result = wave_out_close(handle);
    }
};

TEST_F(WaveVirtual, ACallbackMayCloseItsOwnDevice) {
    select("");
    closing_callback closer;
    const wave_format pcm;
    ASSERT_EQ(wave_out_open(&closer.handle, 0, &pcm, closing_callback::callback, &closer), WAVE_OK);
    std::vector<test_buffer> buffers(3, test_buffer(40));
    for (auto& b : buffers) {
        wave_out_prepare(closer.handle, &b.header);
        wave_out_write(closer.handle, &b.header);
    }
    ASSERT_TRUE(virtual_card_test::run_ticks(2));
    EXPECT_EQ(closer.close_result.load(), WAVE_OK);
    // The close inside the first callback handed back the others, and ran their callbacks.
    EXPECT_EQ(closer.calls.load(), 3);
    for (auto& b : buffers) EXPECT_TRUE(b.header.flags & WAVE_HDR_DONE);
    EXPECT_EQ(wave_out_close(closer.handle), WAVE_INVALID_HANDLE);
}

struct blocking_callback {
    std::promise<void> entered;
    std::shared_future<void> release;
    std::atomic<int> calls{0};
    static void callback(wave_handle, wave_header*, void* context) {
        auto* self = static_cast<blocking_callback*>(context);
        if (self->calls.fetch_add(1) == 0) {
            self->entered.set_value();
            self->release.wait_for(10s);
        }
    }
};

TEST_F(WaveVirtual, ResetAndCloseGiveUpOnADriverThatDoesNotAnswer) {
    select("", false);
    std::promise<void> release;
    blocking_callback blocker;
    blocker.release = release.get_future().share();
    wave_handle out = 0;
    const wave_format pcm;
    ASSERT_EQ(wave_out_open(&out, 0, &pcm, blocking_callback::callback, &blocker), WAVE_OK);
    test_buffer first(80), second(80);
    for (auto* h : {&first.header, &second.header}) {
        wave_out_prepare(out, h);
        wave_out_write(out, h);
    }
    ASSERT_EQ(blocker.entered.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(wave_out_reset(out), WAVE_ERROR);
    EXPECT_EQ(wave_out_close(out), WAVE_ERROR);
    EXPECT_TRUE(second.header.flags & WAVE_HDR_INQUEUE);  // still the device's
    release.set_value();
    EXPECT_EQ(wave_out_close(out), WAVE_OK);
    EXPECT_EQ(blocker.calls.load(), 2);
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
        std::vector<test_buffer> mic(8, test_buffer(80));
        for (auto& b : mic) {
            wave_in_prepare(in, &b.header);
            wave_in_add_buffer(in, &b.header);
        }
        wave_in_start(in);
        test_buffer burst(80, 16000);
        wave_out_prepare(out, &burst.header);
        wave_out_write(out, &burst.header);
        ASSERT_TRUE(virtual_card_test::run_ticks(8));
        std::vector<int16_t> heard;
        for (auto& b : mic) {
            const auto part = samples_of(b.header, 80);
            heard.insert(heard.end(), part.begin(), part.end());
        }
        std::vector<int16_t> expected(640, 0);
        std::fill_n(expected.begin() + r.delay_samples, 80, r.level);
        EXPECT_EQ(heard, expected) << r.echo;
        wave_in_close(in);
        wave_out_close(out);
    }
}

TEST_F(WaveVirtual, NoCallbackAfterCloseWhileBuffersCirculate) {
    select("", false);
    struct requeue {
        wave_handle handle = 0;
        std::atomic<int> calls{0};
        static void callback(wave_handle handle, wave_header* header, void* context) {
            static_cast<requeue*>(context)->calls.fetch_add(1);
            wave_out_write(handle, header);  // refused once the close has begun
        }
    } circulating;
    const wave_format pcm;
    ASSERT_EQ(wave_out_open(&circulating.handle, 0, &pcm, requeue::callback, &circulating),
              WAVE_OK);
    std::vector<test_buffer> buffers(4, test_buffer(40));
    for (auto& b : buffers) {
        wave_out_prepare(circulating.handle, &b.header);
        wave_out_write(circulating.handle, &b.header);
    }
    for (int i = 0; i < 500 && circulating.calls.load() < 20; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_GE(circulating.calls.load(), 20);
    ASSERT_EQ(wave_out_close(circulating.handle), WAVE_OK);
    const int at_close = circulating.calls.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(circulating.calls.load(), at_close);
}

}  // namespace
}  // namespace voxline::test
