// The sound side of one call: the two devices, the 10 ms timeslot manager,
// the capture and playback pipelines and the work of one tick.
//
// Owner: the call's rtp_streamer_t. Threads: the call thread opens and closes
// the devices (open_audio_devices, open_output, close_devices); the RTP thread
// builds, runs and closes the pipelines; the sound driver's thread returns
// buffers. Pipelines are replaced only after both devices were reset, so no
// driver callback can reach a pool that is being freed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "audio/audio_sizes.h"
#include "audio/sound_devices.h"
#include "audio/tick_hooks.h"
#include "audio/timeslot_manager.h"

namespace voxline {

class capture_pipeline;
class playback_pipeline;

// A manual-reset event with bounded waits.
class bounded_event {
  public:
    void set();
    void reset();
    bool wait(int timeout_ms);

  private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_set = true;
};

class audio_session {
  public:
    audio_session(int32_t min_input_ms, uint32_t packet_ms, uint32_t pcm_bytes_per_packet);
    ~audio_session();
    audio_session(const audio_session&) = delete;
    audio_session& operator=(const audio_session&) = delete;

    // --- call thread ---
    int32_t open_audio_devices(bool retry) { return m_devices.open_audio_devices(retry); }
    // The output alone, without retry (a call-progress tone).
    int32_t open_output() { return m_devices.open_output(false); }
    void close_devices();
    bool devices_open() const { return m_devices.input() && m_devices.output(); }
    wave_handle output_device() const { return m_devices.output(); }

    // --- RTP thread ---
    // 0, or a sound-device result code when the input cannot be opened.
    int32_t build_pipelines();
    // Hands every input buffer to the device and starts it: 0, or the
    // device's result code (the caller reports it).
    int32_t start_capture();
    void reset_capture();
    // The input device reset without a report: 0 or its result code.
    int32_t reset_input();
    void reset_send_staging();
    void tick(tick_hooks& hooks);
    // One decoded packet (pcm_bytes_per_packet bytes) for the speaker.
    void push_decoded(const uint8_t* pcm);
    void close_pipelines();
    void write_output(const uint8_t* data, uint32_t length, bool direct);

    timeslot_manager& timeslot() { return m_timeslot; }
    const audio_sizes& sizes() const { return m_sizes; }

    // --- the looping header, reserved for call-progress tones ---
    wave_header& looping_header() { return m_looping_header; }
    std::atomic<bool> looping_in_use{false};
    std::atomic<bool> looping_stopped{true};
    std::atomic<bool> tone_finished{false};
    bounded_event looping_buffer_done;
    // Stops a looping tone and takes its header back.
    void release_looping_header();
    // Called on the driver thread when a tone's loop played out (it must only
    // signal); set before the devices open.
    void set_tone_finished_wake(std::function<void()> wake) {
        m_tone_finished_wake = std::move(wake);
    }

  private:
    static void input_done(wave_handle, wave_header* header, void* context);
    static void output_done(wave_handle, wave_header* header, void* context);
    void reset_devices();

    const audio_sizes m_sizes;
    const uint32_t m_packet_ms;
    const uint32_t m_pcm_bytes_per_packet;
    sound_devices m_devices;
    timeslot_manager m_timeslot;
    std::atomic<capture_pipeline*> m_capture{nullptr};
    std::atomic<playback_pipeline*> m_playback{nullptr};
    std::unique_ptr<uint8_t[]> m_send_staging;
    uint32_t m_send_gathered = 0;
    std::unique_ptr<uint8_t[]> m_receive_staging;
    wave_header m_looping_header;
    std::function<void()> m_tone_finished_wake;
};

}  // namespace voxline
