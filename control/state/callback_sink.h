// The control's IVXLCallback. It answers every event on the engine's thread at
// once and queues the state change to the GUI thread, tagged with its own
// generation; it never waits. Once detached it answers S_OK (PlayTone and
// GenericEvent S_FALSE) and queues nothing.
#pragma once

#include <voxline/voxline.h>

#include <atomic>
#include <memory>

#include "event_mailbox.h"

namespace kestrel {

class callback_sink final : public IVXLCallback {
  public:
    // Starts with one reference, the creator's.
    callback_sink(std::shared_ptr<event_mailbox> mailbox, uint64_t generation);

    uint64_t generation() const { return m_generation; }
    void detach() { m_attached.store(false, std::memory_order_release); }

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
    ~callback_sink() = default;
    bool attached() const { return m_attached.load(std::memory_order_acquire); }
    // False when detached.
    bool queue(sink_event_kind kind, int32_t value = 0, int32_t parameter = 0,
               const char* text = nullptr);

    std::shared_ptr<event_mailbox> m_mailbox;
    const uint64_t m_generation;
    std::atomic<bool> m_attached{true};
    std::atomic<uint32_t> m_references{1};
};

}  // namespace kestrel
