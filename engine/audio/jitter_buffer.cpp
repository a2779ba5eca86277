#include "audio/jitter_buffer.h"

#include <algorithm>

namespace voxline {

jitter_buffer::jitter_buffer(uint32_t size, uint32_t threshold, uint32_t data_size,
                             vxl_statistics& stats)
    : m_data_size(data_size), m_hold_count(threshold > 0 ? threshold - 1 : 0), m_stats(stats) {
    m_capacity = std::max(size, m_hold_count + 1);
    const uint32_t nodes = m_capacity + 1;
    m_data.reset(new uint8_t[size_t{nodes} * data_size]());
    m_nodes.reset(new jb_node[nodes]);
    for (uint32_t i = 0; i < nodes; ++i) {
        m_nodes[i].data = m_data.get() + size_t{i} * data_size;
        m_nodes[i].next = (i + 1 < nodes) ? &m_nodes[i + 1] : nullptr;
    }
    m_free = &m_nodes[0];
}

jb_node* jitter_buffer::take_free_node() {
    jb_node* node = m_free;
    if (node != nullptr) {
        m_free = node->next;
        node->prev = node->next = nullptr;
    }
    return node;
}

void jitter_buffer::return_node(jb_node* node) {
    node->prev = nullptr;
    node->next = m_free;
    m_free = node;
}

void jitter_buffer::free_duplicate(jb_node* node) {
    return_node(node);
    --m_count;
    count_event(m_stats.duplicate_rtp);
}

void jitter_buffer::insert_in_order(jb_node* node) {
    const uint16_t s = node->sequence;
    const int16_t d = sequence_difference(s, m_tail->sequence);
    if (d == 0) return free_duplicate(node);
    if (d > 0) {
        node->prev = m_tail;
        node->next = nullptr;
        m_tail->next = node;
        m_tail = node;
        return;
    }
    for (jb_node* x = m_tail->prev; x != nullptr; x = x->prev) {
        const int16_t dx = sequence_difference(s, x->sequence);
        if (dx == 0) return free_duplicate(node);
        if (dx > 0) {
            node->prev = x;
            node->next = x->next;
            x->next->prev = node;
            x->next = node;
            return;
        }
    }
    node->prev = nullptr;
    node->next = m_head;
    m_head->prev = node;
    m_head = node;
}

jb_node* jitter_buffer::insert(jb_node* node) {
    node->prev = node->next = nullptr;
    if (m_head == nullptr) {
        if (m_hold_count == 0) return node;
        m_head = m_tail = node;
        m_count = 1;
        return nullptr;
    }
    if (m_count < m_hold_count) {
        ++m_count;
        insert_in_order(node);
        return nullptr;
    }
    if (sequence_difference(node->sequence, m_head->sequence) < 0) {
        count_event(m_stats.late_rtp);
        return node;
    }
    jb_node* oldest = m_head;
    m_head = oldest->next;
    oldest->next = nullptr;
    if (m_head == nullptr) {
        m_head = m_tail = node;
    } else {
        m_head->prev = nullptr;
        insert_in_order(node);
    }
    return oldest;
}

}  // namespace voxline
