// The call's counters: one record per engine process, reset when a media
// session opens and kept after it closes, so that a request between calls
// reports the last call.
#pragma once

#include <atomic>
#include <cstdint>

namespace voxline {

// Counters are written from the RTP thread and the sound driver's threads and
// read without a lock; relaxed atomics keep that free of data races without
// costing the audio path a lock. No reader needs an exact, consistent set.
struct vxl_statistics {
    std::atomic<uint32_t> start_tick{0};
    std::atomic<uint32_t> failed_pings{0};
    std::atomic<uint32_t> ping_latency{0};
    std::atomic<uint32_t> output_full{0};
    std::atomic<uint32_t> output_reset{0};
    std::atomic<uint32_t> missed_pcm_input{0};
    std::atomic<uint32_t> missed_pcm_output{0};
    std::atomic<uint32_t> bad_rx{0};
    std::atomic<uint32_t> rtp_tx{0};
    std::atomic<uint32_t> rtp_rx{0};
    std::atomic<uint32_t> jb_full{0};
    std::atomic<uint32_t> late_rtp{0};
    std::atomic<uint32_t> duplicate_rtp{0};
    std::atomic<uint32_t> pcm_full_input{0};
    std::atomic<uint32_t> pcm_full_output{0};
    std::atomic<uint32_t> missed_rtp{0};
};

// A plain copy of the record, fields in the same order.
struct vxl_statistics_snapshot {
    uint32_t start_tick;
    uint32_t failed_pings;
    uint32_t ping_latency;
    uint32_t output_full;
    uint32_t output_reset;
    uint32_t missed_pcm_input;
    uint32_t missed_pcm_output;
    uint32_t bad_rx;
    uint32_t rtp_tx;
    uint32_t rtp_rx;
    uint32_t jb_full;
    uint32_t late_rtp;
    uint32_t duplicate_rtp;
    uint32_t pcm_full_input;
    uint32_t pcm_full_output;
    uint32_t missed_rtp;
};

// The process-wide record.
vxl_statistics& process_statistics();

inline void count_event(std::atomic<uint32_t>& counter) {
    counter.fetch_add(1, std::memory_order_relaxed);
}

// All counters 0 and the start stamped with now_tick (the session's open).
void reset_statistics(uint32_t now_tick);

vxl_statistics_snapshot snapshot_statistics();

// The end-of-call summary line (statistical level) with the duration up to now_tick.
void log_call_summary(uint32_t now_tick);

// The size a caller must offer to get_statistics_string.
constexpr uint32_t k_statistics_string_size = 873;

// Writes the statistics text from a copy of the record. When *size is below
// k_statistics_string_size (or there is no buffer) it sets *size to that and
// returns false without writing anything.
bool get_statistics_string(char* buffer, uint32_t* size);

}  // namespace voxline
