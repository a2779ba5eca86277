// Cost of the media containers on the 10 ms path.
#include <benchmark/benchmark.h>

#include <vector>

#include "audio/jitter_buffer.h"
#include "audio/pcm_queue.h"
// The containers log once at construction; keep that out of the user's engine directory.
#include "support/temp_home.h"

namespace voxline {
namespace {

// One push of a block (argument: elements per push) and its pops, as one tick cycle.
void pcm_queue_push_pop(benchmark::State& state) {
    const auto per_push = static_cast<uint32_t>(state.range(0));
    pcm_queue q(160, per_push, 8);
    std::vector<uint8_t> block(160 * per_push, 7), element(160);
    for (auto _ : state) {
        benchmark::DoNotOptimize(q.push(block.data()));
        for (uint32_t i = 0; i < per_push; ++i) benchmark::DoNotOptimize(q.pop(element.data()));
    }
    state.SetItemsProcessed(state.iterations() * per_push);
}
BENCHMARK(pcm_queue_push_pop)->Arg(1)->Arg(2)->Arg(4);

// Take a node, insert it, return what was released. Argument: threshold in packets.
// Every fourth packet arrives one place late, so ordered insertion walks the list.
void jitter_buffer_insert(benchmark::State& state) {
    const auto threshold = static_cast<uint32_t>(state.range(0));
    vxl_statistics stats;
    jitter_buffer jb(threshold + 2, threshold, 64, stats);
    uint16_t sequence = 0;
    for (auto _ : state) {
        jb_node* node = jb.take_free_node();
        const uint16_t s = (sequence % 4 == 3)   ? static_cast<uint16_t>(sequence - 1)
                           : (sequence % 4 == 2) ? static_cast<uint16_t>(sequence + 1)
                                                 : sequence;
        node->sequence = s;
        if (jb_node* played = jb.insert(node)) jb.return_node(played);
        ++sequence;
    }
}
BENCHMARK(jitter_buffer_insert)->Arg(1)->Arg(3)->Arg(10);

}  // namespace
}  // namespace voxline
