// A sound card without hardware, clocked in real time: one card thread runs a 10 ms tick on
// absolute CLOCK_MONOTONIC deadlines, plays every open output into the speaker (a WAV file or
// nothing) and records the microphone (a WAV file, a tone or silence) into every started input.
//
// Owner: the wave layer's registry. The card thread starts at the first open and is joined by
// the destructor.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sound/sound_backend.h"
#include "platform/sound/virtual_config.h"
#include "platform/sound/wav_append_writer.h"

namespace voxline {

std::unique_ptr<sound_backend> make_virtual_backend(std::string_view options, std::string& error);

class virtual_card final : public sound_backend {
  public:
    explicit virtual_card(const virtual_config& config);
    ~virtual_card() override;

    int32_t open(wave_direction direction, uint32_t device_id, const wave_format& format,
                 const std::shared_ptr<wave_stream>& stream) override;
    void close(wave_stream& stream) override;
    void wake(wave_stream& stream) override;
    void list_devices(std::vector<sound_device_info>& devices) override;

    // Test hooks (virtual_test_interface.h).
    bool use_manual_clock();
    bool run_ticks(int n);
    bool step_clock(int ms);
    bool inject_mic(const int16_t* samples, size_t count);
    size_t take_speaker(int16_t* out, size_t max);
    void set_fault(virtual_fault fault, virtual_fault_side side);

  private:
    static constexpr size_t k_max_ports = 16;
    static constexpr size_t k_tick_samples = 80;
    static constexpr int64_t k_tick_us = 10000;

    struct port {
        std::shared_ptr<wave_stream> stream;
        std::vector<int16_t> wav;  // the mic file, read at open
        size_t wav_position = 0;
        uint64_t tone_sample = 0;
    };
    using port_list = std::array<std::shared_ptr<port>, k_max_ports>;

    // A fixed ring of samples, so the tick never allocates.
    struct sample_ring {
        explicit sample_ring(size_t capacity) : data(capacity) {}
        size_t push(const int16_t* samples, size_t count, bool overwrite);
        size_t pop(int16_t* out, size_t max);
        std::vector<int16_t> data;
        size_t head = 0;
        size_t size = 0;
    };

    int32_t refuse(wave_direction direction) const;  // with m_lock held
    int32_t open_speaker();
    int64_t now_us() const;
    void run();
    // No device open, on the real clock (with m_lock held).
    bool idle() const { return !m_manual_clock && m_inputs + m_outputs == 0; }
    void wait_for_deadline(std::unique_lock<std::mutex>& lock, int64_t deadline);
    void service(const port_list& ports);
    void tick(const port_list& ports, int64_t time_us);
    void play(const port_list& ports, int16_t* mix, int64_t time_us);
    void record(const port_list& ports, int64_t time_us);
    void mic_source(port& source, int16_t* out, size_t count) const;
    bool wait_card(std::unique_lock<std::mutex>& lock, int64_t until_us);

    const virtual_config m_config;
    const size_t m_echo_delay;  // samples
    const double m_echo_gain;

    std::mutex m_lock;
    std::condition_variable m_changed;
    port_list m_ports;
    std::thread m_thread;
    bool m_stop = false;
    bool m_service_pending = false;
    virtual_fault m_fault;
    virtual_fault_side m_fault_side;
    int m_outputs = 0;
    int m_inputs = 0;
    bool m_manual_clock = false;
    int64_t m_manual_now_us = 0;
    std::atomic<int64_t> m_offset_us{0};
    int64_t m_next_deadline_us = 0;
    int64_t m_card_now_us = 0;  // the card's time at its last pass
    sample_ring m_injected;
    sample_ring m_speaker_tap;

    // Card thread only.
    std::vector<int16_t> m_echo_line;
    size_t m_echo_write = 0;

    std::mutex m_speaker_lock;
    wav_append_writer m_speaker;
    int64_t m_last_play_us = 0;  // card thread only
    bool m_speaker_created = false;
    bool m_speaker_full_logged = false;
};

}  // namespace voxline
