// The engine's diagnostic log: one call, three destinations (vxl.log in the
// engine directory, standard error when VOXLINE_DEBUG_OUTPUT=1, and the
// client's MessagePrint through the log queue when forwarding is on).
#pragma once

#include <cstdint>

namespace voxline {

enum log_level : int {
    LOG_ERROR = 1,
    LOG_SEVERE = 2,
    LOG_INFO = 4,
    LOG_ALWAYS = 8,
    LOG_STATISTICAL = 16,
};

void vxl_log(int level, int line, const char* file, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Forwarding of every line to the client's MessagePrint; once on it stays on.
void log_enable_client_forwarding();
bool log_client_forwarding();

// Test hooks: start again as a fresh process would (first-entry rules,
// sequence, forwarding) and take time from a fake clock (nullptr restores).
void log_reset_for_test();
void log_set_clock_for_test(uint32_t (*tick_ms)(), int64_t (*wall_seconds)());

}  // namespace voxline

#define VXL_LOG(level, ...) ::voxline::vxl_log((level), __LINE__, __FILE__, __VA_ARGS__)
