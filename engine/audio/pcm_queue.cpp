#include "audio/pcm_queue.h"

#include <cstring>

#include "util/vxl_log.h"

namespace voxline {

pcm_queue::pcm_queue(uint32_t element_size, uint32_t elements_per_push, uint32_t depth)
    : m_area(new uint8_t[size_t{element_size} * elements_per_push * depth]()),
      m_element_size(element_size),
      m_elements_per_push(elements_per_push),
      m_bytes_per_push(element_size * elements_per_push),
      m_max_single_samples(elements_per_push * depth) {
    m_read = m_write = m_area.get();
    m_end = m_area.get() + size_t{m_bytes_per_push} * depth;
    VXL_LOG(LOG_INFO, "m_max_single_samples=%d", static_cast<int>(m_max_single_samples));
}

bool pcm_queue::push(const uint8_t* block) {
    if (m_elements_per_push == 0 || m_held + m_elements_per_push > m_max_single_samples)
        return false;
    m_held += m_elements_per_push;
    std::memcpy(m_write, block, m_bytes_per_push);
    m_write += m_bytes_per_push;
    if (m_write >= m_end) m_write = m_area.get();
    return true;
}

bool pcm_queue::pop(uint8_t* element) {
    if (m_held == 0) return false;
    --m_held;
    std::memcpy(element, m_read, m_element_size);
    m_read += m_element_size;
    if (m_read >= m_end) m_read = m_area.get();
    return true;
}

}  // namespace voxline
