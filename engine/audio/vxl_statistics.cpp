#include "audio/vxl_statistics.h"

#include <cstdio>

#include "util/vxl_log.h"

namespace voxline {
namespace {

vxl_statistics g_statistics;

uint32_t read(const std::atomic<uint32_t>& counter) {
    return counter.load(std::memory_order_relaxed);
}

}  // namespace

vxl_statistics& process_statistics() {
    return g_statistics;
}

void reset_statistics(uint32_t now_tick) {
    vxl_statistics& s = g_statistics;
    for (std::atomic<uint32_t>* c :
         {&s.failed_pings, &s.ping_latency, &s.output_full, &s.output_reset, &s.missed_pcm_input,
          &s.missed_pcm_output, &s.bad_rx, &s.rtp_tx, &s.rtp_rx, &s.jb_full, &s.late_rtp,
          &s.duplicate_rtp, &s.pcm_full_input, &s.pcm_full_output, &s.missed_rtp})
        c->store(0, std::memory_order_relaxed);
    s.start_tick.store(now_tick, std::memory_order_relaxed);
}

vxl_statistics_snapshot snapshot_statistics() {
    const vxl_statistics& s = g_statistics;
    return {read(s.start_tick),
            read(s.failed_pings),
            read(s.ping_latency),
            read(s.output_full),
            read(s.output_reset),
            read(s.missed_pcm_input),
            read(s.missed_pcm_output),
            read(s.bad_rx),
            read(s.rtp_tx),
            read(s.rtp_rx),
            read(s.jb_full),
            read(s.late_rtp),
            read(s.duplicate_rtp),
            read(s.pcm_full_input),
            read(s.pcm_full_output),
            read(s.missed_rtp)};
}

void log_call_summary(uint32_t now_tick) {
    const vxl_statistics_snapshot s = snapshot_statistics();
    VXL_LOG(LOG_STATISTICAL,
            "Call duration=%d sec; Failed Pings=%d, Ping Latency=%d; Output Full/Reset=%d/%d; "
            "Missed PCM I/O=%d/%d; RTP Tx/Rx/Bad_Rx=%d/%d/%d; PCM Full I/O=%d/%d; JB Full=%d; "
            "Missed RTP Count=%d; Late RTP Count=%d; Duplicate RTP Count=%d",
            static_cast<int>((now_tick - s.start_tick) / 1000), static_cast<int>(s.failed_pings),
            static_cast<int>(s.ping_latency), static_cast<int>(s.output_full),
            static_cast<int>(s.output_reset), static_cast<int>(s.missed_pcm_input),
            static_cast<int>(s.missed_pcm_output), static_cast<int>(s.rtp_tx),
            static_cast<int>(s.rtp_rx), static_cast<int>(s.bad_rx),
            static_cast<int>(s.pcm_full_input), static_cast<int>(s.pcm_full_output),
            static_cast<int>(s.jb_full), static_cast<int>(s.missed_rtp),
            static_cast<int>(s.late_rtp), static_cast<int>(s.duplicate_rtp));
}

bool get_statistics_string(char* buffer, uint32_t* size) {
    const vxl_statistics_snapshot s = snapshot_statistics();
    if (buffer == nullptr || *size < k_statistics_string_size) {
        *size = k_statistics_string_size;
        return false;
    }
    std::snprintf(buffer, *size,
                  "\r\n\r\nPing Latency / Failure Count   = %u/%u"
                  "\r\nRTP Packets Sent/Received      = %u/%u"
                  "\r\nMissed RX RTP Packets          = %u"
                  "\r\nJitter Buffer Full             = %u"
                  "\r\nInvalid RTP Packets Received   = %u"
                  "\r\nLate RTP Packets Received      = %u"
                  "\r\nDuplicate RTP Packets Received = %u"
                  "\r\nOut of output device buffers   = %u"
                  "\r\nOutput device reset            = %u"
                  "\r\nPCM input queue empty/full     = %u/%u"
                  "\r\nPCM output queue empty/full    = %u/%u",
                  s.ping_latency, s.failed_pings, s.rtp_tx, s.rtp_rx, s.missed_rtp, s.jb_full,
                  s.bad_rx, s.late_rtp, s.duplicate_rtp, s.output_full, s.output_reset,
                  s.missed_pcm_input, s.pcm_full_input, s.missed_pcm_output, s.pcm_full_output);
    return true;
}

}  // namespace voxline
