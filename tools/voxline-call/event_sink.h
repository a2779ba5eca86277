// The phone's IVXLCallback: prints every event as one line and hands it to
// the main loop. It never calls the engine itself, because events may arrive
// while the engine holds its method lock.
#pragma once

#include <voxline/voxline.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "output.h"

namespace voxline_call {

struct phone_event {
    enum kind_t {
        connected,
        rejected,
        rollover,
        tone,
        ringing,
        answered,
        disconnected,
        status,
        generic
    } kind;
    int32_t value = 0;
};

class event_sink final : public IVXLCallback {
  public:
    event_sink(output& out, bool verbose, bool engine_tones = false);
    ~event_sink();
    event_sink(const event_sink&) = delete;
    event_sink& operator=(const event_sink&) = delete;

    // Readable when events are waiting; drain with take().
    int wake_fd() const { return m_pipe[0]; }
    bool take(phone_event& event);

    uint32_t AddRef() override;
    uint32_t Release() override;
    int32_t ConnectedToCallAgent() override;
    int32_t CallAgentRejectedConnection() override;
    int32_t CallAgentRollover(const char* szCallAgentIP) override;
    int32_t PlayTone(int32_t eTone) override;
    int32_t Ringing(const char* szCallerNumber) override;
    int32_t Answered() override;
    int32_t Disconnected(int32_t iReason) override;
    int32_t Status(int32_t iStatus, int32_t iStatusParameter) override;
    int32_t MessagePrint(int32_t iMessageType, int32_t iUnusedMessageFlags,
                         const char* szMessageSource, const char* szMessage) override;
    int32_t GenericEvent(int32_t iEvent, int32_t iParam1, int32_t iParam2, const char* szParam3,
                         const char* szParam4, int32_t* iOutParam1, char** szOutParam2) override;

  private:
    void post(phone_event::kind_t kind, int32_t value, const std::string& line);

    output& m_out;
    bool m_verbose;
    bool m_engine_tones;
    std::atomic<uint32_t> m_references{1};
    std::mutex m_lock;
    std::deque<phone_event> m_events;
    int m_pipe[2] = {-1, -1};
};

}  // namespace voxline_call
