#include "audio/playback_pipeline.h"

#include <cstring>

#include "audio/vxl_statistics.h"
#include "util/vxl_log.h"

namespace voxline {

playback_pipeline::playback_pipeline(const audio_sizes& sizes, uint32_t packet_ms, uint32_t now_ms)
    : m_pool(sizes.output_buffer_count, sizes.output_buffer_bytes, now_ms),
      m_queue(PCM_ELEMENT_BYTES, sizes.output_elements_per_push, sizes.output_queue_depth),
      m_trim(trim_schedule::A, now_ms) {
    VXL_LOG(LOG_INFO, "Audio output buffer count = %d", static_cast<int>(m_pool.count()));
    VXL_LOG(LOG_INFO, "PCM output queue size = %d (%d ms)",
            static_cast<int>(sizes.output_queue_depth),
            static_cast<int>(sizes.output_queue_depth * packet_ms));
}

void playback_pipeline::push_decoded(const uint8_t* pcm) {
    if (!m_queue.push(pcm)) count_event(process_statistics().pcm_full_output);
}

bool playback_pipeline::pop(uint8_t* element) {
    return m_queue.pop(element);
}

void playback_pipeline::write(wave_handle device, const uint8_t* data, uint32_t length, bool direct,
                              uint32_t now_ms) {
    if (!direct && length != PCM_ELEMENT_BYTES) {
        VXL_LOG(LOG_ERROR, "Incorrect audio output data size (expecting %d, got %d)",
                static_cast<int>(PCM_ELEMENT_BYTES), static_cast<int>(length));
        return;
    }
    const trim_decision trim = m_trim.on_write(m_pool.outstanding(), now_ms);
    if (trim.drop) return;

    wave_header* h = m_pool.take(now_ms);
    if (!h) {
        out_of_buffers(device, now_ms);
        return;
    }
    int32_t rc = wave_out_unprepare(device, h);
    if (rc != WAVE_OK && rc != WAVE_UNPREPARED)
        VXL_LOG(LOG_ERROR, "waveOutUnprepareHeader failed: error=%d", rc);
    if (direct) {
        h->data = const_cast<uint8_t*>(data);
        h->buffer_length = length;
    } else {
        h->buffer_length = PCM_ELEMENT_BYTES - trim.trim_bytes;
        std::memcpy(h->data, data, h->buffer_length);
    }
    rc = wave_out_prepare(device, h);
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveOutPrepareHeader failed: error=%d", rc);
        m_pool.give_back(h, now_ms);
        return;
    }
    rc = wave_out_write(device, h);
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveOutWrite failed: error=%d", rc);
        rc = wave_out_unprepare(device, h);
        if (rc != WAVE_OK) VXL_LOG(LOG_ERROR, "waveOutUnprepareHeader failed: error=%d", rc);
        m_pool.give_back(h, now_ms);
    }
}

void playback_pipeline::out_of_buffers(wave_handle device, uint32_t now_ms) {
    const wave_buffer::totals t = m_pool.read_totals(now_ms);
    VXL_LOG(LOG_INFO,
            "Out of wave output buffers (alloc=%d, dealloc=%d, last_alloc=%d, last_dealloc=%d",
            static_cast<int>(t.handed_out), static_cast<int>(t.returned),
            static_cast<int>(t.ms_since_hand_out), static_cast<int>(t.ms_since_return));
    count_event(process_statistics().output_full);
    if (m_trim.on_out_of_buffers(now_ms)) {
        // Every queued buffer comes back through on_buffer_done.
        wave_out_reset(device);
        count_event(process_statistics().output_reset);
    }
}

void playback_pipeline::on_buffer_done(wave_header* header, uint32_t now_ms) {
    m_pool.give_back(header, now_ms);
}

}  // namespace voxline
