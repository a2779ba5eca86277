// An IVXLCallback that records every event as one text line, the way the
// headless phone prints them, and lets a test wait for one.
#pragma once

#include <voxline/voxline.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

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
    int32_t PlayTone(int32_t tone) override {
        record("PlayTone " + std::to_string(tone));
        return play_tone_result;
    }
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
        std::lock_guard<std::mutex> lock(m_lock);
        messages.emplace_back(std::to_string(level) + " " + text);
        return 0;
    }
    int32_t GenericEvent(int32_t event, int32_t p1, int32_t p2, const char* s3, const char*,
                         int32_t*, char**) override {
        return record("GenericEvent " + std::to_string(event) + " " + std::to_string(p1) + " " +
                      std::to_string(p2) + " " + s3);
    }

    bool wait_for(const std::string& event, int timeout_ms = 5000) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
            for (const auto& e : events)
                if (e == event) return true;
            return false;
        });
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(m_lock);
        return events;
    }
    std::vector<std::string> message_snapshot() {
        std::lock_guard<std::mutex> lock(m_lock);
        return messages;
    }
    uint32_t references() const { return m_refs; }

    int32_t play_tone_result = 0;
    std::vector<std::string> events;
    std::vector<std::string> messages;

  private:
    int32_t record(std::string event) {
        std::lock_guard<std::mutex> lock(m_lock);
        events.push_back(std::move(event));
        m_changed.notify_all();
        return 0;
    }
    std::atomic<uint32_t> m_refs{1};
    std::mutex m_lock;
    std::condition_variable m_changed;
};

}  // namespace voxline::test
