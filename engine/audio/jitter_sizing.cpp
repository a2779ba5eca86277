#include "audio/jitter_sizing.h"

#include <algorithm>

#include "util/vxl_log.h"

namespace voxline {
namespace {

uint32_t packets_for(int32_t ms, uint32_t packet_ms) {
    const uint32_t wanted = ms > 0 ? static_cast<uint32_t>(ms) : 0;
    return wanted / packet_ms + (wanted % packet_ms != 0 ? 1 : 0);
}

}  // namespace

jitter_sizing compute_jitter_sizing(int32_t min_size_ms, int32_t min_threshold_ms,
                                    uint32_t packet_ms) {
    if (packet_ms == 0) packet_ms = 1;
    jitter_sizing s{};
    s.threshold = std::max<uint32_t>(packets_for(min_threshold_ms, packet_ms), 1);
    s.size = std::max(packets_for(min_size_ms, packet_ms), s.threshold);
    s.hold_count = s.threshold - 1;
    s.capacity = std::max(s.size, s.hold_count + 1);
    return s;
}

void log_jitter_sizing(const jitter_sizing& sizing, uint32_t packet_ms) {
    VXL_LOG(LOG_INFO, "Jitter buffer size = %d elements (%d ms)", static_cast<int>(sizing.size),
            static_cast<int>(sizing.size * packet_ms));
    VXL_LOG(LOG_INFO, "Jitter buffer threshold = %d elements (%d ms)",
            static_cast<int>(sizing.threshold), static_cast<int>(sizing.threshold * packet_ms));
}

}  // namespace voxline
