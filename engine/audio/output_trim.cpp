#include "audio/output_trim.h"

#include "audio/audio_sizes.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

constexpr uint32_t QUIET_PERIOD_MS = 10000;
constexpr uint32_t OUT_OF_BUFFER_THRESHOLD = 25;
constexpr uint32_t LARGEST_MULTIPLIER = 5;

// t = (slope x n + offset), times the multiplier where the row says so, for
// outstanding counts up to `up_to`.
struct trim_row {
    uint32_t up_to;
    int32_t slope;
    int32_t offset;
    bool scaled;
};

constexpr trim_row SCHEDULE_A[] = {
    {15, 0, 0, false},
    {20, 2, -30, false},
    {UINT32_MAX, 2, -30, true},
};
constexpr trim_row SCHEDULE_B[] = {
    {21, 0, 0, false},
    {24, 2, -40, false},
    {UINT32_MAX, 8, -160, false},
};

}  // namespace

uint32_t trim_for(trim_schedule schedule, uint32_t outstanding, uint32_t multiplier) {
    const auto& rows = schedule == trim_schedule::A ? SCHEDULE_A : SCHEDULE_B;
    for (const trim_row& row : rows) {
        if (outstanding > row.up_to) continue;
        const int64_t t = static_cast<int64_t>(row.slope) * outstanding + row.offset;
        return static_cast<uint32_t>(row.scaled ? t * multiplier : t);
    }
    return 0;
}

output_trim::output_trim(trim_schedule schedule, uint32_t now_ms)
    : m_schedule(schedule),
      m_last_reset_ms(now_ms - QUIET_PERIOD_MS),
      m_last_out_of_buffers_ms(now_ms - QUIET_PERIOD_MS),
      m_last_report_ms(now_ms - QUIET_PERIOD_MS) {}

trim_decision output_trim::on_write(uint32_t outstanding, uint32_t now_ms) {
    trim_decision d{trim_for(m_schedule, outstanding, m_multiplier), false};
    if (d.trim_bytes > PCM_ELEMENT_BYTES) {
        d.trim_bytes = PCM_ELEMENT_BYTES;
        d.drop = true;
    }
    if (d.trim_bytes > 0) m_statistics_on = true;
    if (!m_statistics_on) return d;

    const uint32_t samples = d.trim_bytes / 2;
    ++m_histogram[samples];
    if (outstanding > m_largest_outstanding) m_largest_outstanding = outstanding;
    if (samples > m_largest_trim_samples) m_largest_trim_samples = samples;
    if (now_ms - m_last_report_ms >= QUIET_PERIOD_MS) {
        VXL_LOG(LOG_STATISTICAL,
                "allocation_count=%d max_allocation_count=%d kill_sample_count=%d, "
                "max_kill_sample_count=%d",
                static_cast<int>(outstanding), static_cast<int>(m_largest_outstanding),
                static_cast<int>(samples), static_cast<int>(m_largest_trim_samples));
        m_largest_outstanding = 0;
        m_largest_trim_samples = 0;
        m_last_report_ms = now_ms;
    }
    return d;
}

bool output_trim::on_out_of_buffers(uint32_t now_ms) {
    if (now_ms - m_last_out_of_buffers_ms <= QUIET_PERIOD_MS) {
        ++m_consecutive_out_of_buffers;
    } else {
        m_consecutive_out_of_buffers = 0;
    }
    bool reset = false;
    if (m_consecutive_out_of_buffers > OUT_OF_BUFFER_THRESHOLD &&
        now_ms - m_last_reset_ms > QUIET_PERIOD_MS) {
        reset = true;
        m_consecutive_out_of_buffers = 0;
        m_last_reset_ms = now_ms;
        if (m_multiplier < LARGEST_MULTIPLIER) ++m_multiplier;
        VXL_LOG(LOG_INFO,
                "Out of wave output buffer threshold (%d) exceeded, resetting waveOut!  "
                "kill_samples_multiplier=%d",
                static_cast<int>(OUT_OF_BUFFER_THRESHOLD), static_cast<int>(m_multiplier));
    }
    m_last_out_of_buffers_ms = now_ms;
    return reset;
}

void output_trim::log_histogram() const {
    for (uint32_t i = 0; i < HISTOGRAM_SIZE; ++i) {
        if (m_histogram[i] != 0) {
            VXL_LOG(LOG_STATISTICAL, "kill %02d sample count: %d", static_cast<int>(i),
                    static_cast<int>(m_histogram[i]));
        }
    }
}

}  // namespace voxline
