#include "log/control_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/engine_paths.h"

namespace kestrel {

namespace {

// Every control in the process shares the file.
std::mutex g_file_lock;

// Open operations, process-wide, for the trace indentation.
std::atomic<int> g_trace_depth{0};

constexpr char TRACE_INDENT[] = " \xC2\xBB ";

int64_t time_of_day_ms() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return ((local.tm_hour * 60LL + local.tm_min) * 60LL + local.tm_sec) * 1000LL +
           ts.tv_nsec / 1000000;
}

bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

control_log::control_log(std::string file)
    : m_file(file.empty() ? voxline::engine_file("VXLAX.log") : std::move(file)),
      m_origin_tod_ms(time_of_day_ms()),
      m_origin(clock::now()) {}

std::string control_log::timestamp(clock::time_point now) const {
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - m_origin).count();
    const int64_t ms = m_origin_tod_ms + elapsed;
    const int64_t hours = (ms / 3600000) % 24;
    const int64_t minutes = (ms / 60000) % 60;
    const int64_t seconds = (ms / 1000) % 60;
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d (0x%04x) ", static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(seconds), static_cast<int>(ms % 1000),
                  static_cast<unsigned>(::syscall(SYS_gettid)));
    return text;
}

void control_log::append_line(const std::string& line) const {
    std::lock_guard lock(g_file_lock);
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // The PIN may have been in older files: keep the file private even when
    // it was created by someone else's umask.
    ::fchmod(fd, 0600);
    write_all(fd, line.data(), line.size());
    ::close(fd);
}

void control_log::LogMessage(int32_t level, std::string_view text, const char* source) {
    if (!diagnostics() && level != LOG_ERROR && level != LOG_SEVERE_ERROR) return;
    std::string line = timestamp(clock::now());
    line.append(text);
    line += '\n';
    append_line(line);
    if (level != LOG_TRACE) console(level, text, source);
}

void control_log::LogFormat(int32_t level, const char* format, ...) {
    if (!diagnostics() && level != LOG_ERROR && level != LOG_SEVERE_ERROR) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    LogMessage(level, text);
}

void control_log::console(int32_t level, std::string_view text, const char* source) const {
    if (m_console) m_console(level, source ? source : DEFAULT_LOG_SOURCE, std::string(text));
}

void control_log::trace_enter(std::string_view call) {
    const int depth = g_trace_depth.fetch_add(1);
    if (!trace()) return;
    std::string line;
    for (int i = 0; i < depth; ++i) line += TRACE_INDENT;
    line += "Entering function ";
    line += call;
    LogMessage(LOG_TRACE, line);
}

void control_log::trace_exit(std::string_view call) {
    const int depth = g_trace_depth.fetch_sub(1) - 1;
    if (!trace()) return;
    std::string line;
    for (int i = 0; i < depth; ++i) line += TRACE_INDENT;
    line += "Exiting function  ";
    line += call;
    LogMessage(LOG_TRACE, line);
}

function_trace::function_trace(control_log* log, std::string call)
    : m_log(log), m_call(std::move(call)) {
    if (m_log) m_log->trace_enter(m_call);
}

function_trace::~function_trace() {
    if (m_log) m_log->trace_exit(m_call);
}

}  // namespace kestrel
