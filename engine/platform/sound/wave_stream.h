// One open device's header queue, shared by the wave layer (caller threads) and a backend's
// driver thread. Owned jointly through shared_ptr by the handle table and the driver, so a driver
// pass that is still running when the device closes touches live memory (and does nothing).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/sound/sound_backend.h"
#include "platform/sound/wave_api.h"

namespace voxline {

class wave_stream {
  public:
    wave_stream(wave_direction direction, wave_handle handle, wave_callback callback,
                void* context);
    wave_stream(const wave_stream&) = delete;
    wave_stream& operator=(const wave_stream&) = delete;

    wave_direction direction() const { return m_direction; }
    wave_handle handle() const { return m_handle; }

    // Caller side.
    int32_t prepare(wave_header* header);
    int32_t unprepare(wave_header* header);
    int32_t add(wave_header* header);  // add_buffer or write
    void start() { m_started.store(true); }
    void break_loop();
    // Hands back every queued header on the driver thread; `wake` asks the driver to come.
    int32_t reset(sound_backend& backend);
    // Refuses new headers, resets, waits for a running callback, and ends all callbacks.
    int32_t close(sound_backend& backend);
    bool closed() const;

    // Driver side.
    void set_driver_thread(std::thread::id driver) { m_driver.store(driver); }
    bool started() const { return m_started.load(); }
    // Carries out a pending reset; the driver calls it on every pass and on wake.
    void service();
    // Input: records samples into the queued headers; nothing while stopped.
    void capture(const int16_t* samples, size_t count, int64_t first_sample_us);
    // Output: plays from the queued headers into `out`, zero-filling the rest. Returns the
    // samples that came from headers.
    size_t render(int16_t* out, size_t count, int64_t first_sample_us);

  private:
    bool on_driver_thread() const { return m_driver.load() == std::this_thread::get_id(); }
    void push_done(wave_header* header);  // with m_lock held
    wave_header* pop_queue();             // with m_lock held
    void finish_output_header();          // with m_lock held
    void enter_output_header();           // with m_lock held
    void deliver();                       // runs callbacks for the done list, in order
    bool wait_for(std::unique_lock<std::mutex>& lock, auto ready);

    const wave_direction m_direction;
    const wave_handle m_handle;
    const wave_callback m_callback;
    void* const m_context;
    std::atomic<std::thread::id> m_driver{};
    std::atomic<bool> m_started{false};

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    wave_header* m_queue_head = nullptr;
    wave_header* m_queue_tail = nullptr;
    wave_header* m_done_head = nullptr;  // handed back, callback not yet run
    wave_header* m_done_tail = nullptr;
    bool m_closing = false;
    bool m_closed = false;
    int m_callback_depth = 0;
    uint64_t m_reset_requested = 0;
    uint64_t m_reset_done = 0;

    // Output play position.
    wave_header* m_play = nullptr;
    size_t m_play_sample = 0;
    wave_header* m_loop_begin = nullptr;
    uint32_t m_loops_left = 0;
    bool m_loop_broken = false;
    size_t m_loop_pass_samples = 0;
};

}  // namespace voxline
