#include "audio/audio_session.h"

#include <chrono>
#include <cstring>

#include "audio/capture_pipeline.h"
#include "audio/playback_pipeline.h"
#include "audio/vxl_statistics.h"
#include "platform/clock.h"
#include "util/vxl_log.h"

namespace voxline {

void bounded_event::set() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_set = true;
    }
    m_changed.notify_all();
}

void bounded_event::reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_set = false;
}

bool bounded_event::wait(int timeout_ms) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                              [this] { return m_set; });
}

audio_session::audio_session(int32_t min_input_ms, uint32_t packet_ms,
                             uint32_t pcm_bytes_per_packet)
    : m_sizes(compute_audio_sizes(min_input_ms, packet_ms, pcm_bytes_per_packet)),
      m_packet_ms(packet_ms),
      m_pcm_bytes_per_packet(pcm_bytes_per_packet),
      m_devices(input_done, output_done, this),
      m_send_staging(new uint8_t[pcm_bytes_per_packet]()),
      m_receive_staging(new uint8_t[pcm_bytes_per_packet]()) {}

audio_session::~audio_session() {
    m_timeslot.stop_timer();
    close_pipelines();
    close_devices();
}

void audio_session::input_done(wave_handle, wave_header* header, void* context) {
    auto* self = static_cast<audio_session*>(context);
    capture_pipeline* capture = self->m_capture.load();
    if (capture && capture->owns(header)) capture->on_buffer_done(header, tick_ms());
}

void audio_session::output_done(wave_handle, wave_header* header, void* context) {
    auto* self = static_cast<audio_session*>(context);
    if (header == &self->m_looping_header) {
        self->looping_buffer_done.set();
        if (!self->looping_stopped.load()) {
            self->tone_finished = true;
            if (self->m_tone_finished_wake) self->m_tone_finished_wake();
        }
        return;
    }
    playback_pipeline* playback = self->m_playback.load();
    if (playback && playback->owns(header)) playback->on_buffer_done(header, tick_ms());
}

void audio_session::close_devices() {
    m_devices.close_input();
    m_devices.close_output(
        [](void* self) { static_cast<audio_session*>(self)->release_looping_header(); }, this);
}

void audio_session::release_looping_header() {
    if (!looping_in_use.load()) return;
    looping_stopped = true;
    if (wave_handle out = m_devices.output()) {
        wave_out_reset(out);
        wave_out_unprepare(out, &m_looping_header);
    }
    looping_in_use = false;
}

void audio_session::reset_devices() {
    if (wave_handle in = m_devices.input()) wave_in_reset(in);
    if (wave_handle out = m_devices.output()) wave_out_reset(out);
}

int32_t audio_session::build_pipelines() {
    // A redirect or a second enable rebuilds: the devices first give back
    // every buffer of the old pools.
    if (m_capture.load() || m_playback.load()) {
        reset_devices();
        close_pipelines();
    }
    if (int32_t rc = m_devices.open_input(); rc != 0) return rc;
    const uint32_t now = tick_ms();
    m_capture = new capture_pipeline(m_sizes, m_devices.input(), now);
    m_playback = new playback_pipeline(m_sizes, m_packet_ms, now);
    reset_send_staging();
    return 0;
}

int32_t audio_session::start_capture() {
    capture_pipeline* capture = m_capture.load();
    const wave_handle in = m_devices.input();
    if (!capture || !in) return WAVE_INVALID_HANDLE;
    capture->reset_pool();
    capture->requeue_free_buffers(in, tick_ms());
    const int32_t rc = wave_in_start(in);
    return rc == WAVE_OK ? 0 : rc;
}

int32_t audio_session::reset_input() {
    const wave_handle in = m_devices.input();
    const int32_t rc = in ? wave_in_reset(in) : WAVE_OK;
    return rc == WAVE_OK ? 0 : rc;
}

void audio_session::reset_capture() {
    if (wave_handle in = m_devices.input()) {
        if (int32_t rc = wave_in_reset(in); rc != WAVE_OK)
            VXL_LOG(LOG_ERROR, "waveInReset failed:  error=%d", rc);
    }
}

void audio_session::reset_send_staging() {
    m_send_gathered = 0;
}

void audio_session::push_decoded(const uint8_t* pcm) {
    if (playback_pipeline* playback = m_playback.load()) playback->push_decoded(pcm);
}

void audio_session::write_output(const uint8_t* data, uint32_t length, bool direct) {
    playback_pipeline* playback = m_playback.load();
    const wave_handle out = m_devices.output();
    if (playback && out) playback->write(out, data, length, direct, tick_ms());
}

void audio_session::tick(tick_hooks& hooks) {
    capture_pipeline* capture = m_capture.load();
    playback_pipeline* playback = m_playback.load();
    if (!capture || !playback) return;
    vxl_statistics& counters = process_statistics();

    hooks.supervise_ping();
    const tone_view digit = hooks.start_digit();

    uint8_t* element = m_send_staging.get() + m_send_gathered;
    if (!capture->pop(element)) {
        count_event(counters.missed_pcm_input);
    } else {
        if (hooks.mic_muted()) std::memset(element, 0, PCM_ELEMENT_BYTES);
        echo_stage* echo = hooks.echo();
        if (!hooks.digit_playing() && echo) {
            echo->process_near_end(reinterpret_cast<int16_t*>(element));
        }
        m_send_gathered += PCM_ELEMENT_BYTES;
        if (m_send_gathered >= m_pcm_bytes_per_packet) {
            m_send_gathered = 0;
            hooks.send_packet(m_send_staging.get(), m_pcm_bytes_per_packet);
        }
    }

    if (wave_handle in = m_devices.input()) capture->requeue_free_buffers(in, tick_ms());
    hooks.receive(*this);
    if (digit.data && !looping_in_use.load()) write_output(digit.data, digit.length, true);
    // The digit's last tick still discards: a digit of n ticks replaces
    // exactly n received elements, so digits follow each other every 80 ms
    // instead of each pushing one extra element into the output queue.
    const bool digit_playing = hooks.digit_playing();
    hooks.count_down_digits();

    uint8_t* speaker = m_receive_staging.get();
    if (!playback->pop(speaker)) {
        if (!digit_playing) count_event(counters.missed_pcm_output);
        return;
    }
    if (digit_playing) return;
    if (echo_stage* echo = hooks.echo()) echo->process_far_end(reinterpret_cast<int16_t*>(speaker));
    if (!looping_in_use.load()) write_output(speaker, PCM_ELEMENT_BYTES, false);
}

void audio_session::close_pipelines() {
    capture_pipeline* capture = m_capture.load();
    playback_pipeline* playback = m_playback.load();
    if (!capture && !playback) return;
    reset_capture();
    m_capture = nullptr;
    delete capture;
    release_looping_header();
    if (wave_handle out = m_devices.output()) {
        if (int32_t rc = wave_out_reset(out); rc != WAVE_OK)
            VXL_LOG(LOG_ERROR, "waveOutReset failed:  error=%d", rc);
    }
    m_playback = nullptr;
    if (playback) {
        playback->log_histogram();
        delete playback;
    }
}

}  // namespace voxline
