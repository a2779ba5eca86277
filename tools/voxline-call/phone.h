// The headless phone: configures and logs on the engine, performs the
// actions of the command line or of standard input and reacts to events.
#pragma once

#include <voxline/voxline.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "event_sink.h"
#include "options.h"
#include "output.h"

namespace voxline_call {

enum exit_status { exit_ok = 0, exit_refused = 1, exit_bad_options = 2, exit_session_lost = 3 };

class phone {
  public:
    phone(ITarnwickVXL* engine, const phone_options& options, output& out);

    // Runs until the session ends, quit, or a signal; returns the exit status.
    int run(const volatile bool& stop_requested, int signal_fd);

  private:
    struct timer {
        double due;
        std::string name;
        std::function<void()> action;
    };

    bool start();
    void on_event(const phone_event& event);
    void on_input_line(const std::string& line);
    bool read_input();
    void schedule(const std::string& name, double delay_s, std::function<void()> action);
    void cancel(const std::string& name);
    void run_due_timers();
    int poll_timeout_ms() const;
    // Runs a command; a refusal ends the program with exit status 1 unless
    // it was typed in interactive mode, where it is only reported.
    bool command(const std::string& name, int32_t result, bool typed);
    void finish(int status);
    void logoff(bool typed);
    void dial(const std::string& number, bool typed);
    void print_statistics();
    // Microphone level capture: prints "ok|error mic-start|mic-stop 0x%08X".
    bool mic(bool start, bool typed);

    ITarnwickVXL* m_engine;
    phone_options m_options;
    output& m_out;
    event_sink m_sink;
    std::vector<timer> m_timers;
    std::string m_input;
    bool m_input_open = true;
    bool m_done = false;
    int m_status = exit_ok;
    bool m_logged_on = false;
    bool m_logoff_requested = false;
    bool m_digits_sent = false;
};

}  // namespace voxline_call
