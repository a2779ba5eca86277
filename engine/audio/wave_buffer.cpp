#include "audio/wave_buffer.h"

namespace voxline {
namespace {
constexpr uint32_t LONG_AGO_MS = 10000;
}

wave_buffer::wave_buffer(uint32_t count, uint32_t size, uint32_t now_ms)
    : m_size(size),
      m_count(count),
      m_headers(new wave_header[count]),
      m_data(new uint8_t[static_cast<size_t>(count) * size]()),
      m_last_hand_out_ms(now_ms - LONG_AGO_MS),
      m_last_return_ms(now_ms - LONG_AGO_MS) {
    reset();
}

void wave_buffer::push_free(wave_header* header) {
    // The spare word keeps the header's own data pointer for good.
    header->data = reinterpret_cast<uint8_t*>(header->spare);
    header->buffer_length = m_size;
    header->user = reinterpret_cast<uintptr_t>(m_free);
    m_free = header;
}

void wave_buffer::reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_free = nullptr;
    for (uint32_t i = m_count; i-- > 0;) {
        wave_header& h = m_headers[i];
        h.spare = reinterpret_cast<uintptr_t>(m_data.get() + static_cast<size_t>(i) * m_size);
        h.flags = 0;
        h.bytes_recorded = 0;
        push_free(&h);
    }
    m_outstanding = 0;
}

wave_header* wave_buffer::take(uint32_t now_ms) {
    std::lock_guard<std::mutex> lock(m_lock);
    wave_header* h = m_free;
    if (!h) return nullptr;
    m_free = reinterpret_cast<wave_header*>(h->user);
    h->user = 0;
    ++m_outstanding;
    ++m_handed_out;
    m_last_hand_out_ms = now_ms;
    return h;
}

void wave_buffer::give_back(wave_header* header, uint32_t now_ms) {
    std::lock_guard<std::mutex> lock(m_lock);
    push_free(header);
    if (m_outstanding > 0) --m_outstanding;
    ++m_returned;
    m_last_return_ms = now_ms;
}

bool wave_buffer::owns(const wave_header* header) const {
    return header >= m_headers.get() && header < m_headers.get() + m_count;
}

uint32_t wave_buffer::outstanding() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_outstanding;
}

wave_buffer::totals wave_buffer::read_totals(uint32_t now_ms) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return {m_handed_out, m_returned, now_ms - m_last_hand_out_ms, now_ms - m_last_return_ms};
}

}  // namespace voxline
