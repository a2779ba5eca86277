#include "util/vxl_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/engine_paths.h"
#include "util/log_queue.h"

namespace voxline {

namespace {

constexpr int ENTRY_MAX = 1023;
constexpr int MAX_NESTING = 5;
constexpr long ROTATE_AT_BYTES = 250000;
// While running the file may grow ten times larger before it is rotated, so
// a flood cannot fill the disk: five files of this size at most.
constexpr long ROTATE_RUNNING_AT_BYTES = 10 * ROTATE_AT_BYTES;
constexpr int ROTATED_COPIES = 4;
constexpr int CONTINUATION_INDENT = 57;  // a header without its line break and prefix
constexpr char START_UP_SEPARATOR[] =
    "\n========= Start up ==================================================";

struct log_state {
    std::recursive_mutex lock;  // a line formatted inside a log call may log again
    int sequence = 0;
    uint32_t previous_tick = 0;
    int depth = 0;
    bool first_entry = true;
    bool separator_written = false;
    bool file_logging = true;
    uint32_t (*tick)() = tick_ms;
    int64_t (*wall_seconds)() = nullptr;
};

log_state& state() {
    static log_state s;
    return s;
}

std::atomic<bool> g_forwarding{false};

int64_t system_wall_seconds() {
    return static_cast<int64_t>(time(nullptr));
}

bool debug_output_enabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("VOXLINE_DEBUG_OUTPUT");
        return v && strcmp(v, "1") == 0;
    }();
    return enabled;
}

const char* base_name(const char* path) {
    const char* base = path ? path : "";
    for (const char* p = base; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    return base;
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

void rotate(const std::string& log_path) {
    const std::string stem = engine_file("vxl");
    char from[4096], to[4096];
    snprintf(to, sizeof to, "%s.%03d", stem.c_str(), ROTATED_COPIES);
    unlink(to);
    for (int n = ROTATED_COPIES - 1; n >= 1; --n) {
        snprintf(from, sizeof from, "%s.%03d", stem.c_str(), n);
        snprintf(to, sizeof to, "%s.%03d", stem.c_str(), n + 1);
        rename(from, to);
    }
    snprintf(to, sizeof to, "%s.%03d", stem.c_str(), 1);
    rename(log_path.c_str(), to);
}

void rotate_if_large(const std::string& log_path) {
    struct stat st {};
    if (stat(log_path.c_str(), &st) == 0 && st.st_size >= ROTATE_AT_BYTES) rotate(log_path);
}

// The size of the file open as fd is read rather than counted: a second
// instance (vxl.mux) may write the same file.
bool entry_would_pass_limit(int fd, size_t entry_bytes) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size == 0) return false;
    return st.st_size + static_cast<off_t>(entry_bytes) > ROTATE_RUNNING_AT_BYTES;
}

// What the pieces of an entry add to the file (see emit_piece).
size_t entry_file_bytes(const char* entry) {
    size_t bytes = 0;
    bool continuation = false;
    for (const char* p = entry; *p;) {
        while (*p == '\r' || *p == '\n') ++p;
        if (!*p) break;
        const size_t length = strcspn(p, "\r\n");
        bytes += 2 + (continuation ? CONTINUATION_INDENT : 0) + length;
        continuation = true;
        p += length;
    }
    return bytes;
}

void write_all(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n <= 0) return;
        data += n;
        length -= static_cast<size_t>(n);
    }
}

// Emits one piece of an entry to every destination.
void emit_piece(int fd, const char* piece, size_t length, bool continuation, int level) {
    char line[ENTRY_MAX + CONTINUATION_INDENT + 3];
    size_t n = 0;
    line[n++] = '\r';
    line[n++] = '\n';
    if (continuation) {
        memset(line + n, ' ', CONTINUATION_INDENT);
        n += CONTINUATION_INDENT;
    }
    memcpy(line + n, piece, length);
    n += length;
    line[n] = '\0';
    if (fd >= 0) write_all(fd, line, n);
    if (debug_output_enabled()) fputs(line, stderr);
    if (g_forwarding.load()) log_queue_post_current(level, line + 2);
}

}  // namespace

void log_enable_client_forwarding() {
    g_forwarding.store(true);
}
bool log_client_forwarding() {
    return g_forwarding.load();
}

void vxl_log(int level, int line, const char* file, const char* format, ...) {
    log_state& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    const uint32_t now = s.tick();
    if (s.first_entry) s.previous_tick = now;
    if (s.depth > MAX_NESTING) return;
    ++s.depth;

    const uint32_t elapsed_s = (now - s.previous_tick) / 1000;
    char elapsed[8];
    if (elapsed_s >= 9999)
        snprintf(elapsed, sizeof elapsed, "++++");
    else
        snprintf(elapsed, sizeof elapsed, "%04u", elapsed_s);

    const time_t wall =
        static_cast<time_t>(s.wall_seconds ? s.wall_seconds() : system_wall_seconds());
    tm local{};
    localtime_r(&wall, &local);
    char date[16], clock_text[16], date_time[40];
    strftime(date, sizeof date, "%m-%d-%y", &local);
    strftime(clock_text, sizeof clock_text, "%H:%M:%S", &local);
    snprintf(date_time, sizeof date_time, "%s %s ", date, clock_text);

    const unsigned thread_id = static_cast<unsigned>(syscall(SYS_gettid)) & 0xFFFFu;
    const char* prefix = (level == 1 || level == 2) ? "Error--" : "";

    char entry[ENTRY_MAX + 1];
    int used = snprintf(entry, sizeof entry, "\r\n[%05d %s (%s) %04x %12.12s %05d]%s", s.sequence,
                        date_time, elapsed, thread_id, base_name(file), line, prefix);
    s.sequence = s.sequence >= 99999 ? 0 : s.sequence + 1;
    if (used < 0) used = 0;
    if (used < ENTRY_MAX) {
        va_list args;
        va_start(args, format);
        vsnprintf(entry + used, sizeof entry - static_cast<size_t>(used), format, args);
        va_end(args);
    }

    const std::string log_path = engine_file("vxl.log");
    if (s.first_entry) {
        s.first_entry = false;
        if (file_exists(engine_file("novxllog"))) s.file_logging = false;
        if (s.file_logging) rotate_if_large(log_path);
    }

    int fd = -1;
    if (s.file_logging) {
        fd = open(log_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && entry_would_pass_limit(fd, entry_file_bytes(entry))) {
            close(fd);
            rotate(log_path);
            s.separator_written = false;
            fd = open(log_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        }
        if (fd >= 0 && !s.separator_written) {
            s.separator_written = true;
            write_all(fd, START_UP_SEPARATOR, sizeof START_UP_SEPARATOR - 1);
        }
    }

    // Each piece between line breaks becomes its own line; empty pieces vanish.
    bool continuation = false;
    const char* p = entry;
    while (*p) {
        while (*p == '\r' || *p == '\n') ++p;
        if (!*p) break;
        const char* end = p + strcspn(p, "\r\n");
        emit_piece(fd, p, static_cast<size_t>(end - p), continuation, level);
        continuation = true;
        p = end;
    }

    if (fd >= 0) close(fd);
    --s.depth;
    s.previous_tick = now;
}

void log_reset_for_test() {
    log_state& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.sequence = 0;
    s.depth = 0;
    s.first_entry = true;
    s.separator_written = false;
    s.file_logging = true;
    g_forwarding.store(false);
}

void log_set_clock_for_test(uint32_t (*tick)(), int64_t (*wall_seconds)()) {
    log_state& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.tick = tick ? tick : tick_ms;
    s.wall_seconds = wall_seconds;
}

}  // namespace voxline
