#include "callback_sink.h"

#include "tone_answers.h"

namespace kestrel {

namespace {

constexpr int32_t k_s_ok = 0;
constexpr int32_t k_s_false = 1;

}  // namespace

callback_sink::callback_sink(std::shared_ptr<event_mailbox> mailbox, uint64_t generation)
    : m_mailbox(std::move(mailbox)), m_generation(generation) {}

uint32_t callback_sink::AddRef() {
    return m_references.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t callback_sink::Release() {
    uint32_t left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

bool callback_sink::queue(sink_event_kind kind, int32_t value, int32_t parameter,
                          const char* text) {
    if (!attached()) {
        return false;
    }
    sink_event event;
    event.kind = kind;
    event.generation = m_generation;
    event.value = value;
    event.parameter = parameter;
    if (text != nullptr) {
        event.text = text;
    }
    m_mailbox->post(std::move(event));
    return true;
}

int32_t callback_sink::ConnectedToCallAgent() {
    queue(sink_event_kind::connected);
    return k_s_ok;
}

int32_t callback_sink::CallAgentRejectedConnection() {
    queue(sink_event_kind::rejected);
    return k_s_ok;
}

int32_t callback_sink::CallAgentRollover(const char* szCallAgentIP) {
    queue(sink_event_kind::rollover, 0, 0, szCallAgentIP);
    return k_s_ok;
}

int32_t callback_sink::PlayTone(int32_t eTone) {
    if (!queue(sink_event_kind::tone, eTone)) {
        return k_s_false;
    }
    tone_answer answer = tone_answer_of(eTone);
    return m_mailbox->browser_mode.load(std::memory_order_relaxed) ? answer.answer_in_browser
                                                                   : answer.answer_otherwise;
}

int32_t callback_sink::Ringing(const char* szCallerNumber) {
    queue(sink_event_kind::ringing, 0, 0, szCallerNumber);
    return k_s_ok;
}

int32_t callback_sink::Answered() {
    queue(sink_event_kind::answered);
    return k_s_ok;
}

int32_t callback_sink::Disconnected(int32_t iReason) {
    queue(sink_event_kind::disconnected, iReason);
    return k_s_ok;
}

int32_t callback_sink::Status(int32_t iStatus, int32_t iStatusParameter) {
    queue(sink_event_kind::status, iStatus, iStatusParameter);
    return k_s_ok;
}

int32_t callback_sink::MessagePrint(int32_t iMessageType, int32_t /*iUnusedMessageFlags*/,
                                    const char* /*szMessageSource*/, const char* szMessage) {
    queue(sink_event_kind::message, iMessageType, 0, szMessage);
    return k_s_ok;
}

int32_t callback_sink::GenericEvent(int32_t iEvent, int32_t iParam1, int32_t /*iParam2*/,
                                    const char* /*szParam3*/, const char* /*szParam4*/,
                                    int32_t* /*iOutParam1*/, char** /*szOutParam2*/) {
    return queue(sink_event_kind::generic, iEvent, iParam1) ? k_s_ok : k_s_false;
}

}  // namespace kestrel
