#include "event_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace voxline_call {

namespace {

std::string text_or_empty(const char* text) {
    return text ? std::string(text) : std::string();
}

// Diagnostic lines may carry line breaks; the output is one line per entry.
std::string one_line(const char* text) {
    std::string line = text_or_empty(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

}  // namespace

event_sink::event_sink(output& out, bool verbose, bool engine_tones)
    : m_out(out), m_verbose(verbose), m_engine_tones(engine_tones) {
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
    }
}

event_sink::~event_sink() {
    for (int fd : m_pipe) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool event_sink::take(phone_event& event) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_events.empty()) {
        char drain[64];
        while (read(m_pipe[0], drain, sizeof(drain)) > 0) {
        }
        return false;
    }
    event = m_events.front();
    m_events.pop_front();
    return true;
}

void event_sink::post(phone_event::kind_t kind, int32_t value, const std::string& line) {
    // Queued before it is printed: whoever reads the line may act on it
    // (a signal, say) and the main loop must already know about the event.
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.push_back({kind, value});
    }
    m_out.line(line);
    char wake = 1;
    // A full pipe already means "wake up"; the byte is not needed then.
    [[maybe_unused]] ssize_t written = write(m_pipe[1], &wake, 1);
}

// The sink lives as long as the phone; the count only satisfies the interface.
uint32_t event_sink::AddRef() {
    return ++m_references;
}
uint32_t event_sink::Release() {
    return --m_references;
}

int32_t event_sink::ConnectedToCallAgent() {
    post(phone_event::connected, 0, "event ConnectedToCallAgent");
    return 0;
}

int32_t event_sink::CallAgentRejectedConnection() {
    post(phone_event::rejected, 0, "event CallAgentRejectedConnection");
    return 0;
}

int32_t event_sink::CallAgentRollover(const char* szCallAgentIP) {
    post(phone_event::rollover, 0, "event CallAgentRollover " + text_or_empty(szCallAgentIP));
    return 0;
}

int32_t event_sink::PlayTone(int32_t eTone) {
    post(phone_event::tone, eTone, "event PlayTone " + std::to_string(eTone));
    // 1 hands the tone to the engine; otherwise a headless phone stays silent.
    return m_engine_tones ? 1 : 0;
}

int32_t event_sink::Ringing(const char* szCallerNumber) {
    std::string number = one_line(szCallerNumber);
    post(phone_event::ringing, 0, number.empty() ? "event Ringing" : "event Ringing " + number);
    return 0;
}

int32_t event_sink::Answered() {
    post(phone_event::answered, 0, "event Answered");
    return 0;
}

int32_t event_sink::Disconnected(int32_t iReason) {
    post(phone_event::disconnected, iReason, "event Disconnected " + std::to_string(iReason));
    return 0;
}

int32_t event_sink::Status(int32_t iStatus, int32_t iStatusParameter) {
    post(phone_event::status, iStatus,
         "event Status " + std::to_string(iStatus) + " " + std::to_string(iStatusParameter));
    return 0;
}

int32_t event_sink::MessagePrint(int32_t iMessageType, int32_t, const char*,
                                 const char* szMessage) {
    if (m_verbose) {
        m_out.line("log " + std::to_string(iMessageType) + " " + one_line(szMessage));
    }
    return 0;
}

int32_t event_sink::GenericEvent(int32_t iEvent, int32_t iParam1, int32_t iParam2,
                                 const char* szParam3, const char* szParam4, int32_t*, char**) {
    std::string line = "event GenericEvent " + std::to_string(iEvent) + " " +
                       std::to_string(iParam1) + " " + std::to_string(iParam2);
    for (const char* text : {szParam3, szParam4}) {
        std::string part = one_line(text);
        if (!part.empty()) {
            line += " " + part;
        }
    }
    post(phone_event::generic, iEvent, line);
    return 0;
}

}  // namespace voxline_call
