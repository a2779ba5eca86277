#include "audio/capture_pipeline.h"

#include <cstring>

#include "audio/vxl_statistics.h"
#include "util/vxl_log.h"

namespace voxline {

capture_pipeline::capture_pipeline(const audio_sizes& sizes, wave_handle device, uint32_t now_ms)
    : m_sizes(sizes),
      m_pool(sizes.input_buffer_count, sizes.input_buffer_bytes, now_ms),
      m_queue(PCM_ELEMENT_BYTES, sizes.input_elements_per_push, sizes.input_queue_depth) {
    VXL_LOG(LOG_ERROR, "******Audio Handle =%d", device);
    VXL_LOG(LOG_INFO, "Audio input buffer count = %d, %d, %d", static_cast<int>(m_pool.count()),
            device, 0);
    VXL_LOG(LOG_INFO, "PCM input queue size = %d (%d ms)",
            static_cast<int>(sizes.input_queue_depth),
            static_cast<int>(sizes.input_queue_depth * sizes.input_period_ms));
    if (sizes.input_buffer_bytes % PCM_ELEMENT_BYTES != 0) {
        VXL_LOG(LOG_ERROR,
                "m_audio_input_sample_size (%d bytes) is not an even multiple of "
                "m_input_pcm_queue_single_sample_size (%d ms)",
                static_cast<int>(sizes.input_buffer_bytes), static_cast<int>(PCM_ELEMENT_BYTES));
    }
}

void capture_pipeline::on_buffer_done(wave_header* header, uint32_t now_ms) {
    // A reset hands back the buffers still waiting, empty: nothing was recorded,
    // and a queue the tick no longer drains would count each as lost input.
    if (header->bytes_recorded == 0) {
        m_pool.give_back(header, now_ms);
        return;
    }
    const uint32_t full = m_sizes.input_buffer_bytes;
    if (header->bytes_recorded < full) {
        std::memset(header->data + header->bytes_recorded, 0, full - header->bytes_recorded);
    }
    bool pushed;
    {
        std::lock_guard<std::mutex> lock(m_input_lock);
        pushed = m_queue.push(header->data);
    }
    if (!pushed) count_event(process_statistics().pcm_full_input);
    m_pool.give_back(header, now_ms);
}

bool capture_pipeline::pop(uint8_t* element) {
    std::lock_guard<std::mutex> lock(m_input_lock);
    return m_queue.pop(element);
}

void capture_pipeline::requeue_free_buffers(wave_handle device, uint32_t now_ms) {
    for (uint32_t i = 0; i < m_pool.count(); ++i) {
        wave_header* h = m_pool.take(now_ms);
        if (!h) return;
        int32_t rc = wave_in_unprepare(device, h);
        if (rc != WAVE_OK && rc != WAVE_UNPREPARED)
            VXL_LOG(LOG_ERROR, "waveInUnprepareHeader failed: error=%d", rc);
        h->buffer_length = m_sizes.input_buffer_bytes;
        h->bytes_recorded = 0;
        rc = wave_in_prepare(device, h);
        if (rc != WAVE_OK) {
            VXL_LOG(LOG_ERROR, "waveInPrepareHeader failed: error=%d, %d, %d", rc, 5, device);
            m_pool.give_back(h, now_ms);
            return;
        }
        rc = wave_in_add_buffer(device, h);
        if (rc != WAVE_OK) {
            VXL_LOG(LOG_ERROR, "waveInAddBuffer failed: error=%d", rc);
            wave_in_unprepare(device, h);
            m_pool.give_back(h, now_ms);
            return;
        }
    }
}

}  // namespace voxline
