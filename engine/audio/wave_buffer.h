// wave_buffer: a fixed pool of sound-device buffer headers with their data,
// allocated once when a pipeline is built. Headers are taken by the RTP
// thread and come back from the sound driver's thread, both under the pool's
// lock; nothing is allocated afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/sound/wave_api.h"

namespace voxline {

class wave_buffer {
  public:
    // Time stamps start 10 s back, as if the last hand-out were long past.
    wave_buffer(uint32_t count, uint32_t size, uint32_t now_ms);
    wave_buffer(const wave_buffer&) = delete;
    wave_buffer& operator=(const wave_buffer&) = delete;

    // A free header with its own data and full length, or nullptr.
    wave_header* take(uint32_t now_ms);
    // Back to the free list: its own data pointer and full length restored.
    void give_back(wave_header* header, uint32_t now_ms);
    // Every header free again (nothing may be queued on a device).
    void reset();

    bool owns(const wave_header* header) const;

    uint32_t outstanding() const;
    uint32_t count() const { return m_count; }
    uint32_t size() const { return m_size; }

    struct totals {
        uint32_t handed_out, returned, ms_since_hand_out, ms_since_return;
    };
    totals read_totals(uint32_t now_ms) const;

  private:
    void push_free(wave_header* header);

    mutable std::mutex m_lock;
    const uint32_t m_size;
    const uint32_t m_count;
    uint32_t m_outstanding = 0;
    std::unique_ptr<wave_header[]> m_headers;
    wave_header* m_free = nullptr;  // linked through each header's user word
    std::unique_ptr<uint8_t[]> m_data;
    uint32_t m_handed_out = 0;
    uint32_t m_returned = 0;
    uint32_t m_last_hand_out_ms;
    uint32_t m_last_return_ms;
};

}  // namespace voxline
