#include "phone.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace voxline_call {

namespace {

double now_s() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string hex_code(int32_t result) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<uint32_t>(result));
    return text;
}

constexpr double logoff_grace_s = 8.0;

}  // namespace

phone::phone(ITarnwickVXL* engine, const phone_options& options, output& out)
    : m_engine(engine),
      m_options(options),
      m_out(out),
      m_sink(out, options.verbose, options.engine_tones) {}

bool phone::command(const std::string& name, int32_t result, bool typed) {
    // Success codes (0, and 1 "nothing to do") are not refusals.
    if (result >= 0) {
        if (typed) {
            m_out.line("ok " + name);
        }
        return true;
    }
    m_out.line("error " + name + " " + hex_code(result));
    if (!typed) {
        std::fprintf(stderr, "voxline-call: the engine refused %s (%s)\n", name.c_str(),
                     hex_code(result).c_str());
        finish(exit_refused);
    }
    return false;
}

void phone::finish(int status) {
    if (!m_done) {
        m_done = true;
        m_status = status;
    }
}

bool phone::start() {
    const phone_options& o = m_options;
    int32_t in_out = 0;
    char text[VOXLINE_STATISTICS_BUFFER_SIZE] = {};
    if (o.proxy) {
        command("GenericCommand",
                m_engine->GenericCommand(VXL_COMMAND_SET_PROXY, o.proxy_port, 0, o.proxy->c_str(),
                                         "", &in_out, text),
                false);
    }
    if (o.stats_interval_ms && !m_done) {
        command("GenericCommand",
                m_engine->GenericCommand(VXL_COMMAND_SET_SIGNAL_STRENGTH_INTERVAL,
                                         *o.stats_interval_ms, 0, "", "", &in_out, text),
                false);
    }
    if (m_done) {
        return false;
    }
    int32_t flags = o.flags | (o.verbose ? VXL_FLAG_FORWARD_DIAGNOSTICS : 0);
    int32_t result = m_engine->ConfigureCallParameters(
        o.local_ip.c_str(), o.caller_id_number.c_str(), o.caller_id_name.c_str(),
        o.call_agent.c_str(), o.call_agent_port, o.local_mgcp_port, o.vocoder, o.pack, o.input_ms,
        o.jitter_size_ms, o.jitter_threshold_ms, &m_sink, 0, o.nat_port, o.extension.c_str(),
        o.account.c_str(), o.pin.c_str(), flags, o.audit_timeout_s, 0, o.qos, nullptr, nullptr);
    if (!command("ConfigureCallParameters", result, false)) {
        return false;
    }
    if (o.echo_delay_ms &&
        !command("GenericCommand",
                 m_engine->GenericCommand(VXL_COMMAND_SET_ECHO_CANCELLER_DELAY, *o.echo_delay_ms, 0,
                                          "", "", &in_out, text),
                 false)) {
        return false;
    }
    if (o.mic_level_s) {
        if (!mic(true, false)) {
            return false;
        }
        if (*o.mic_level_s > 0) {
            schedule("mic-level", *o.mic_level_s, [this] {
                mic(false, false);
                finish(exit_ok);
            });
        }
        return !m_done;
    }
    if (!command("LogonToCallAgent", m_engine->LogonToCallAgent(), false)) {
        return false;
    }
    // The engine keeps a number given during registration until it is logged on.
    if (o.dial) {
        dial(*o.dial, false);
    }
    return !m_done;
}

void phone::dial(const std::string& number, bool typed) {
    if (!command("call", m_engine->Call(number.c_str()), typed)) {
        return;
    }
    m_digits_sent = false;
    if (m_options.hangup_after_s) {
        if (*m_options.hangup_after_s == 0) {
            command("hangup", m_engine->Hangup(), typed);
        } else {
            schedule("hangup", *m_options.hangup_after_s,
                     [this] { command("hangup", m_engine->Hangup(), false); });
        }
    }
}

void phone::logoff(bool typed) {
    if (command("logoff", m_engine->LogoffFromCallAgent(0), typed)) {
        m_logoff_requested = true;
        // A call agent that never confirms must not keep the phone running.
        schedule("logoff-grace", logoff_grace_s, [this] { finish(exit_session_lost); });
    }
}

void phone::on_event(const phone_event& event) {
    switch (event.kind) {
        case phone_event::connected:
            m_logged_on = true;
            if (m_options.logoff_after_s) {
                schedule("logoff", *m_options.logoff_after_s, [this] { logoff(false); });
            }
            break;
        case phone_event::ringing:
            if (m_options.auto_answer_s) {
                schedule("answer", *m_options.auto_answer_s,
                         [this] { command("answer", m_engine->Answer(), false); });
            }
            break;
        case phone_event::answered:
            if (m_options.digits && !m_digits_sent) {
                m_digits_sent = true;
                command("digits", m_engine->SendDigits(m_options.digits->c_str()), false);
            }
            break;
        case phone_event::disconnected:
            cancel("answer");
            cancel("hangup");
            if (m_options.exit_on_disconnect) {
                finish(exit_ok);
            } else if (event.value != VXL_DISCONNECT_NORMAL) {
                // The session with the call agent is over.
                m_logged_on = false;
                finish(m_logoff_requested ? exit_ok : exit_session_lost);
            }
            break;
        default:
            break;
    }
}

bool phone::mic(bool start, bool typed) {
    int32_t in_out = 0;
    char text[VOXLINE_STATISTICS_BUFFER_SIZE] = {};
    const int32_t result =
        m_engine->GenericCommand(start ? VXL_COMMAND_START_MIC_WIZARD : VXL_COMMAND_STOP_MIC_WIZARD,
                                 0, 0, "", "", &in_out, text);
    const char* name = start ? "mic-start" : "mic-stop";
    m_out.line(std::string(result >= 0 ? "ok " : "error ") + name + " " + hex_code(result));
    if (result < 0 && !typed) {
        finish(exit_refused);
    }
    return result >= 0;
}

void phone::print_statistics() {
    char text[VOXLINE_STATISTICS_BUFFER_SIZE] = {};
    int32_t result = m_engine->GetStatistics(0, 0, text);
    text[sizeof(text) - 1] = '\0';
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        m_out.line("stats " + line);
    }
    command("stats", result, true);
}

void phone::on_input_line(const std::string& raw) {
    std::istringstream words(raw);
    std::string verb;
    words >> verb;
    std::string argument;
    std::getline(words >> std::ws, argument);
    if (verb.empty()) {
        return;
    }
    if (verb == "call" && !argument.empty()) {
        dial(argument, true);
    } else if (verb == "answer") {
        command("answer", m_engine->Answer(), true);
    } else if (verb == "hangup") {
        command("hangup", m_engine->Hangup(), true);
    } else if (verb == "digits" && !argument.empty()) {
        command("digits", m_engine->SendDigits(argument.c_str()), true);
    } else if (verb == "beep") {
        command("beep", m_engine->SendDigits("@"), true);
    } else if (verb == "mic" && (argument == "start" || argument == "stop")) {
        mic(argument == "start", true);
    } else if (verb == "stats") {
        print_statistics();
    } else if (verb == "logoff") {
        logoff(true);
    } else if (verb == "quit") {
        m_out.line("ok quit");
        finish(exit_ok);
    } else {
        m_out.line("error unknown command: " + raw.substr(0, 80));
    }
}

bool phone::read_input() {
    char buffer[512];
    ssize_t count = read(STDIN_FILENO, buffer, sizeof(buffer));
    if (count <= 0) {
        return false;
    }
    m_input.append(buffer, static_cast<size_t>(count));
    size_t newline;
    while (!m_done && (newline = m_input.find('\n')) != std::string::npos) {
        std::string line = m_input.substr(0, newline);
        m_input.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        on_input_line(line);
    }
    if (m_input.size() > 4096) {
        m_out.line("error line too long");
        m_input.clear();
    }
    return true;
}

void phone::schedule(const std::string& name, double delay_s, std::function<void()> action) {
    cancel(name);
    m_timers.push_back({now_s() + delay_s, name, std::move(action)});
}

void phone::cancel(const std::string& name) {
    std::erase_if(m_timers, [&](const timer& t) { return t.name == name; });
}

void phone::run_due_timers() {
    double now = now_s();
    for (size_t i = 0; i < m_timers.size() && !m_done;) {
        if (m_timers[i].due <= now) {
            auto action = std::move(m_timers[i].action);
            m_timers.erase(m_timers.begin() + static_cast<long>(i));
            action();
            i = 0;
        } else {
            ++i;
        }
    }
}

int phone::poll_timeout_ms() const {
    // Events, signals and input wake the loop themselves; only timers need a time-out.
    if (m_timers.empty()) {
        return -1;
    }
    double earliest = m_timers.front().due;
    for (const auto& t : m_timers) {
        earliest = std::min(earliest, t.due);
    }
    double wait = std::ceil((earliest - now_s()) * 1000.0);
    return static_cast<int>(std::clamp(wait, 0.0, static_cast<double>(INT_MAX)));
}

int phone::run(const volatile bool& stop_requested, int signal_fd) {
    if (!start()) {
        return m_status;
    }
    bool stopping = false;
    while (!m_done) {
        pollfd fds[3] = {{m_sink.wake_fd(), POLLIN, 0},
                         {signal_fd, POLLIN, 0},
                         {m_options.interactive && m_input_open ? STDIN_FILENO : -1, POLLIN, 0}};
        int ready = poll(fds, 3, poll_timeout_ms());
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            char drain[16];
            [[maybe_unused]] ssize_t n = read(signal_fd, drain, sizeof(drain));
        }
        // Events first: a signal must see the state they leave behind.
        phone_event event;
        while (!m_done && m_sink.take(event)) {
            on_event(event);
        }
        if (!m_done && stop_requested && !stopping) {
            stopping = true;
            if (m_logged_on && !m_logoff_requested) {
                logoff(false);
            } else {
                finish(m_logoff_requested ? exit_ok : exit_session_lost);
            }
        }
        if (!m_done && ready > 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            if (!read_input()) {
                m_input_open = false;
                m_out.line("ok quit");
                finish(exit_ok);
            }
        }
        run_due_timers();
    }
    return m_status;
}

}  // namespace voxline_call
