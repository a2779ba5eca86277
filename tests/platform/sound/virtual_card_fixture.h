// A virtual card on a manual clock, and a record of the done callbacks it makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/virtual_test_interface.h"
#include "platform/sound/wave_api.h"
#include "support/temp_home.h"

namespace voxline::test {

struct done_record {
    wave_header* header;
    uint32_t flags;
    uint32_t bytes_recorded;
    std::thread::id thread;
};

struct done_log {
    static void callback(wave_handle, wave_header* header, void* context) {
        auto* log = static_cast<done_log*>(context);
        std::lock_guard lock(log->m_lock);
        log->m_done.push_back(
            {header, header->flags, header->bytes_recorded, std::this_thread::get_id()});
    }
    std::vector<done_record> done() {
        std::lock_guard lock(m_lock);
        return m_done;
    }
    size_t count() { return done().size(); }
    std::mutex m_lock;
    std::vector<done_record> m_done;
};

// A header with its own samples.
struct test_buffer {
    explicit test_buffer(size_t samples, int16_t value = 0) : pcm(samples, value) {
        header.data = reinterpret_cast<uint8_t*>(pcm.data());
        header.buffer_length = static_cast<uint32_t>(samples * 2);
    }
    test_buffer(const test_buffer& other) : pcm(other.pcm), header(other.header) {
        header.data = reinterpret_cast<uint8_t*>(pcm.data());
    }
    std::vector<int16_t> pcm;
    wave_header header;
};

inline std::vector<int16_t> ramp(int from, int count) {
    std::vector<int16_t> samples(count);
    for (int i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(from + i);
    return samples;
}

inline wave_handle open_device(bool input, wave_callback callback, void* context) {
    wave_handle handle = 0;
    const wave_format pcm;
    EXPECT_EQ(
        (input ? wave_in_open : wave_out_open)(&handle, k_wave_mapper, &pcm, callback, context),
        WAVE_OK);
    return handle;
}

// Prepares each buffer and hands it to the device: to record into, or to play.
inline void queue_buffers(bool input, wave_handle handle, std::vector<test_buffer>& buffers) {
    for (auto& b : buffers) {
        EXPECT_EQ((input ? wave_in_prepare : wave_out_prepare)(handle, &b.header), WAVE_OK);
        EXPECT_EQ((input ? wave_in_add_buffer : wave_out_write)(handle, &b.header), WAVE_OK);
    }
}

class virtual_card_test_base : public ::testing::Test {
  protected:
    void select(const std::string& options, bool manual = true) {
        ASSERT_EQ(wave_select_backend(("virtual:" + options).c_str()), WAVE_OK) << options;
        if (manual) {
            ASSERT_TRUE(virtual_card_test::use_manual_clock());
        }
    }
    void TearDown() override { EXPECT_EQ(wave_select_backend("virtual"), WAVE_OK); }

    wave_handle open_in(done_log& log) { return open_device(true, done_log::callback, &log); }
    wave_handle open_out(done_log& log) { return open_device(false, done_log::callback, &log); }
    std::vector<int16_t> speaker() {
        std::vector<int16_t> played(80000);
        played.resize(virtual_card_test::take_speaker(played.data(), played.size()));
        return played;
    }

    temp_home m_home;
};

}  // namespace voxline::test
