// An IVXLCallback that records every event as one line, as the headless phone prints them.
#pragma once

#include <voxline/voxline.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "support/eventually.h"

namespace voxline::test {

class recording_callback : public IVXLCallback {
  public:
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override { return --m_refs; }
    int32_t ConnectedToCallAgent() override { return record("ConnectedToCallAgent"); }
    int32_t CallAgentRejectedConnection() override { return record("CallAgentRejectedConnection"); }
    int32_t CallAgentRollover(const char* ip) override {
        return record(std::string("CallAgentRollover ") + ip);
    }
    int32_t PlayTone(int32_t tone) override { return record("PlayTone " + std::to_string(tone)); }
    int32_t Ringing(const char* number) override {
        return record(std::string("Ringing ") + number);
    }
    int32_t Answered() override { return record("Answered"); }
    int32_t Disconnected(int32_t reason) override {
        return record("Disconnected " + std::to_string(reason));
    }
    int32_t Status(int32_t status, int32_t parameter) override {
        return record("Status " + std::to_string(status) + " " + std::to_string(parameter));
    }
    int32_t MessagePrint(int32_t level, int32_t, const char*, const char* text) override {
        return record(std::to_string(level) + " " + text, &m_messages);
    }
    int32_t GenericEvent(int32_t event, int32_t p1, int32_t p2, const char* s3, const char*,
                         int32_t*, char**) override {
        return record("GenericEvent " + std::to_string(event) + " " + std::to_string(p1) + " " +
                      std::to_string(p2) + " " + s3);
    }

    bool wait_for(const std::string& event, int timeout_ms = 5000) {
        return eventually([&] { return std::ranges::count(snapshot(), event) > 0; }, timeout_ms);
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    std::vector<std::string> message_snapshot() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_messages;
    }
    uint32_t references() const { return m_refs; }

  private:
    int32_t record(std::string line, std::vector<std::string>* to = nullptr) {
        std::lock_guard<std::mutex> lock(m_lock);
        (to ? *to : m_events).push_back(std::move(line));
        return 0;
    }
    std::atomic<uint32_t> m_refs{1};
    std::mutex m_lock;
    std::vector<std::string> m_events, m_messages;
};

}  // namespace voxline::test
