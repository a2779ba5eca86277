// First byte: threshold (1..16); then big-endian 16-bit sequence numbers as they arrive.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "audio/jitter_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    voxline::vxl_statistics stats;
    const uint32_t threshold = 1 + (data[0] & 0x0F);
    voxline::jitter_buffer jb(threshold, threshold, 16, stats);
    for (size_t at = 1; at + 2 <= size; at += 2) {
        voxline::jb_node* node = jb.take_free_node();
        if (node == nullptr) std::abort();  // the list holds fewer than all nodes
        node->sequence = static_cast<uint16_t>((data[at] << 8) | data[at + 1]);
        std::memset(node->data, data[at], jb.data_size());
        if (voxline::jb_node* played = jb.insert(node)) jb.return_node(played);
        uint32_t listed = 0;
        for (const voxline::jb_node* n = jb.head(); n != nullptr; n = n->next)
            if (++listed > jb.capacity()) std::abort();  // a cycle
        if (jb.count() > jb.hold_count() || listed != jb.count()) std::abort();
    }
    return 0;
}
