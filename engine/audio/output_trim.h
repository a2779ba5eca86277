// Latency trimming of the playback queue and the reset rule for an output
// device that has run out of buffers. Owned by the output pool; called by the
// RTP thread only, so it has no lock. Times are 32-bit millisecond ticks.
#pragma once

#include <array>
#include <cstdint>

namespace voxline {

enum class trim_schedule {
    A,  // every system we run on
    B,  // kept for the record: the gentler schedule of an older platform family
};

struct trim_decision {
    uint32_t trim_bytes;  // bytes cut from the end of the element, at most 160
    bool drop;            // the whole element is to be dropped
};

class output_trim {
  public:
    static constexpr uint32_t HISTOGRAM_SIZE = 81;  // trims of 0..80 samples

    output_trim(trim_schedule schedule, uint32_t now_ms);

    // Bookkeeping for one write while `outstanding` buffers sit in the device.
    trim_decision on_write(uint32_t outstanding, uint32_t now_ms);
    // One event of no free output buffer; true when the device is to be reset now.
    bool on_out_of_buffers(uint32_t now_ms);
    // Logs the non-zero histogram counters (at pipeline close).
    void log_histogram() const;

    uint32_t kill_samples_multiplier() const { return m_multiplier; }
    uint32_t histogram(uint32_t samples) const { return m_histogram[samples]; }

  private:
    trim_schedule m_schedule;
    uint32_t m_consecutive_out_of_buffers = 0;
    uint32_t m_last_reset_ms;
    uint32_t m_last_out_of_buffers_ms;
    uint32_t m_multiplier = 1;
    bool m_statistics_on = false;
    uint32_t m_last_report_ms;
    uint32_t m_largest_outstanding = 0;
    uint32_t m_largest_trim_samples = 0;
    std::array<uint32_t, HISTOGRAM_SIZE> m_histogram{};
};

// The trim in bytes before the 160-byte cap, for `outstanding` queued buffers.
uint32_t trim_for(trim_schedule schedule, uint32_t outstanding, uint32_t multiplier);

}  // namespace voxline
