// pcm_queue: a fixed ring of 10 ms PCM elements, filled a block of n elements
// at a time and drained one element at a time. Its area never straddles the
// end for a push or a pop, and nothing is allocated after construction.
#pragma once

#include <cstdint>
#include <memory>

namespace voxline {

class pcm_queue {
  public:
    // Logs the capacity in elements.
    pcm_queue(uint32_t element_size, uint32_t elements_per_push, uint32_t depth);

    // Copies elements_per_push elements; false (nothing copied) when they do not fit.
    bool push(const uint8_t* block);
    // Copies the oldest element; false when the queue is empty.
    bool pop(uint8_t* element);

    uint32_t element_size() const { return m_element_size; }
    uint32_t bytes_per_push() const { return m_bytes_per_push; }
    uint32_t capacity() const { return m_max_single_samples; }
    uint32_t held() const { return m_held; }

  private:
    std::unique_ptr<uint8_t[]> m_area;
    uint8_t* m_read;
    uint8_t* m_write;
    uint8_t* m_end;
    uint32_t m_element_size;
    uint32_t m_elements_per_push;
    uint32_t m_bytes_per_push;
    uint32_t m_max_single_samples;
    uint32_t m_held = 0;
};

}  // namespace voxline
