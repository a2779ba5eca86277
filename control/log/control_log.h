// The control log VXLAX.log in the engine directory: one line per message,
// "HH:MM:SS.mmm (0xTID) text". The file is opened and closed for every line
// under one process-wide lock, so any thread may log; the console event is
// raised on the logging thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

enum log_level : int32_t {
    LOG_TRACE = 0,  // file only, no console event
    LOG_ERROR = 1,
    LOG_SEVERE_ERROR = 2,
    LOG_INFO = 4,
    LOG_ALWAYS = 8,
};

inline constexpr char DEFAULT_LOG_SOURCE[] = "ActiveX Control";

class control_log {
  public:
    // (level, source, text without timestamp) for every written line of a
    // non-zero level: the control raises WriteJavaConsoleMessage with it.
    using console_sink = std::function<void(int32_t, const std::string&, const std::string&)>;
    using clock = std::chrono::steady_clock;

    // file empty: VXLAX.log in the engine directory. The time of day is taken
    // now and advanced by the steady clock.
    explicit control_log(std::string file = {});

    void set_console_sink(console_sink sink) { m_console = std::move(sink); }
    void set_diagnostics(bool on) { m_diag.store(on, std::memory_order_relaxed); }
    bool diagnostics() const { return m_diag.load(std::memory_order_relaxed); }
    void set_trace(bool on) { m_trace.store(on, std::memory_order_relaxed); }
    bool trace() const { return m_trace.load(std::memory_order_relaxed); }

    // Written when diagnostics are on, and always for levels 1 and 2.
    void LogMessage(int32_t level, std::string_view text, const char* source = nullptr);
    void LogFormat(int32_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // A console event only (explicit console messages), whatever the switch.
    void console(int32_t level, std::string_view text, const char* source = nullptr) const;

    // Function trace lines ("Entering function X(args)"), only with the trace flag.
    void trace_enter(std::string_view call);
    void trace_exit(std::string_view call);

    const std::string& file() const { return m_file; }

    // Tests: replace the clock origin (time of day in ms at `origin`).
    void set_clock_origin(int64_t time_of_day_ms, clock::time_point origin) {
        m_origin_tod_ms = time_of_day_ms;
        m_origin = origin;
    }
    std::string timestamp(clock::time_point now) const;

  private:
    void append_line(const std::string& line) const;

    std::string m_file;
    int64_t m_origin_tod_ms = 0;
    clock::time_point m_origin;
    std::atomic<bool> m_diag{false};
    std::atomic<bool> m_trace{false};
    console_sink m_console;
};

// Writes the entry line now and the exit line when it leaves scope, also on
// an exception.
class function_trace {
  public:
    function_trace(control_log* log, std::string call);
    ~function_trace();
    function_trace(const function_trace&) = delete;
    function_trace& operator=(const function_trace&) = delete;

  private:
    control_log* m_log;
    std::string m_call;
};

}  // namespace kestrel
