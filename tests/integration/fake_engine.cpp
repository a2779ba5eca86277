// A stand-in for libvoxline.so that answers voxline-call's commands with
// scripted events, so the phone's own behaviour can be checked without a
// call agent. Every method call is appended to $FAKE_ENGINE_LOG.
#include <voxline/voxline.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace {

void record(const std::string& line) {
    const char* path = std::getenv("FAKE_ENGINE_LOG");
    if (path == nullptr) {
        return;
    }
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

class fake_engine final : public ITarnwickVXL {
  public:
    fake_engine() : m_worker([this] { work(); }) {}

    uint32_t AddRef() override { return ++m_references; }
    uint32_t Release() override {
        uint32_t left = --m_references;
        if (left == 0) {
            record("Release");
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_stop = true;
            }
            m_wake.notify_all();
            m_worker.join();
            delete this;
        }
        return left;
    }

    int32_t ConfigureCallParameters(const char* szLocalIP, const char* szCallerIDNumber,
                                    const char*, const char* szCallAgentIP, int32_t port,
                                    int32_t local_port, int32_t vocoder, int32_t pack, int32_t,
                                    int32_t, int32_t, IVXLCallback* callback, int32_t, int32_t,
                                    const char* szExtension, const char* szAccount, const char*,
                                    int32_t flags, int32_t, int32_t, int32_t qos, const char*,
                                    const char*) override {
        char line[512];
        std::snprintf(line, sizeof(line),
                      "ConfigureCallParameters ip=%s agent=%s port=%d local=%d vocoder=%d "
                      "pack=%d flags=0x%X qos=%d caller=%s ext=%s account=%s",
                      szLocalIP, szCallAgentIP, port, local_port, vocoder, pack, flags, qos,
                      szCallerIDNumber, szExtension, szAccount);
        record(line);
        m_callback = callback;
        if (const char* forced = std::getenv("FAKE_CONFIGURE_RESULT")) {
            return static_cast<int32_t>(std::strtoul(forced, nullptr, 0));
        }
        return 0;
    }

    int32_t LogonToCallAgent() override {
        record("LogonToCallAgent");
        later(50, [this] { m_callback->ConnectedToCallAgent(); });
        if (const char* ring = std::getenv("FAKE_RING_AFTER_MS")) {
            later(std::atoi(ring), [this] { m_callback->Ringing("5551234"); });
        }
        return 0;
    }

    int32_t Call(const char* number) override {
        record(std::string("Call ") + number);
        if (std::strspn(number, "0123456789") != std::strlen(number)) {
            return VXL_E_INVALID_NUMBER;
        }
        later(50, [this] {
            m_callback->PlayTone(VXL_TONE_ALERTING);
            m_callback->Answered();
        });
        return 0;
    }

    int32_t SendDigits(const char* digits) override {
        record(std::string("SendDigits ") + digits);
        return 0;
    }

    int32_t Hangup() override {
        record("Hangup");
        later(10, [this] { m_callback->Disconnected(VXL_DISCONNECT_NORMAL); });
        return 0;
    }

    int32_t LogoffFromCallAgent(int32_t) override {
        record("LogoffFromCallAgent");
        later(10, [this] { m_callback->Disconnected(VXL_DISCONNECT_CALL_AGENT); });
        return 0;
    }

    int32_t Answer() override {
        record("Answer");
        later(10, [this] { m_callback->Answered(); });
        return 0;
    }

    int32_t GetStatistics(int32_t, int32_t, char* text) override {
        record("GetStatistics");
        std::snprintf(text, VOXLINE_STATISTICS_BUFFER_SIZE,
                      "Packets sent: 0\r\nPackets received: 0\r\n");
        return 0;
    }

    int32_t GenericCommand(int32_t command, int32_t param, int32_t, const char*, const char*,
                           int32_t*, char*) override {
        record("GenericCommand " + std::to_string(command) + " " + std::to_string(param));
        return 0;
    }

  private:
    void later(int delay_ms, std::function<void()> action) {
        auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            auto at = std::find_if(m_jobs.begin(), m_jobs.end(),
                                   [&](const auto& job) { return job.first > due; });
            m_jobs.insert(at, {due, std::move(action)});
        }
        m_wake.notify_all();
    }

    void work() {
        std::unique_lock<std::mutex> guard(m_lock);
        while (!m_stop) {
            if (m_jobs.empty()) {
                m_wake.wait(guard);
                continue;
            }
            auto due = m_jobs.front().first;
            if (std::chrono::steady_clock::now() < due) {
                m_wake.wait_until(guard, due);
                continue;
            }
            auto action = std::move(m_jobs.front().second);
            m_jobs.pop_front();
            guard.unlock();
            action();
            guard.lock();
        }
    }

    std::atomic<uint32_t> m_references{1};
    IVXLCallback* m_callback = nullptr;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::function<void()>>> m_jobs;
    bool m_stop = false;
    std::thread m_worker;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t VoxlineCreateInstance(
    const char* name, ITarnwickVXL** engine) {
    if (engine == nullptr) {
        return VXL_E_POINTER;
    }
    if (std::strcmp(name, VOXLINE_CLASS_TARNWICK_VXL) != 0) {
        return VXL_E_CLASS_NOT_AVAILABLE;
    }
    *engine = new fake_engine();
    return VXL_S_OK;
}
