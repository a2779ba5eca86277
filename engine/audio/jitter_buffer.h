// jitter_buffer: received RTP packets held in sequence-number order. Once the
// hold count is reached every arrival releases exactly one packet (the oldest,
// or the arrival itself when it is older than everything held). All nodes are
// made at construction; one more than the capacity so that the session can
// keep a spare node for the next datagram while the list is full.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/vxl_statistics.h"

namespace voxline {

struct jb_node {
    jb_node* prev = nullptr;
    jb_node* next = nullptr;
    uint16_t sequence = 0;
    uint8_t* data = nullptr;  // data_size() bytes, filled by the caller
};

class jitter_buffer {
  public:
    // size Z and threshold H in packets; element data size B in bytes.
    // Late and duplicate packets are counted into stats.
    jitter_buffer(uint32_t size, uint32_t threshold, uint32_t data_size,
                  vxl_statistics& stats = process_statistics());

    // nullptr when every node is in use.
    jb_node* take_free_node();
    // A played (or never inserted) node goes back to the free list.
    void return_node(jb_node* node);
    // The node to play now, or nullptr. A duplicate goes straight back to the free list.
    jb_node* insert(jb_node* node);

    uint32_t capacity() const { return m_capacity; }
    uint32_t data_size() const { return m_data_size; }
    uint32_t hold_count() const { return m_hold_count; }
    uint32_t count() const { return m_count; }
    const jb_node* head() const { return m_head; }

  private:
    void insert_in_order(jb_node* node);
    void free_duplicate(jb_node* node);

    uint32_t m_capacity;
    uint32_t m_data_size;
    uint32_t m_hold_count;
    std::unique_ptr<uint8_t[]> m_data;
    uint32_t m_count = 0;
    jb_node* m_head = nullptr;
    jb_node* m_tail = nullptr;
    std::unique_ptr<jb_node[]> m_nodes;
    jb_node* m_free = nullptr;
    vxl_statistics& m_stats;
};

// Signed distance a − b of two RTP sequence numbers, so order survives the wrap.
inline int16_t sequence_difference(uint16_t a, uint16_t b) {
    return static_cast<int16_t>(static_cast<uint16_t>(a - b));
}

}  // namespace voxline
