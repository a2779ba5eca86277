// Stand-ins for what the control's state machines drive: an engine raising
// its events from its own thread, timers the test fires, and a container that
// records what the control showed it.
#pragma once

#include <gtest/gtest.h>
#include <voxline/voxline.h>

#include <QCoreApplication>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "network/interface_source.h"
#include "state/vxl_control.h"
#include "support/temp_home.h"

namespace voxline::test {

class fake_engine final : public ITarnwickVXL {
  public:
    std::map<std::string, int32_t> results;  // by method name; 0 when not given

    fake_engine() : m_thread([this] { run(); }) {}

    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_calls;
    }
    size_t count(const std::string& prefix) {
        return std::ranges::count_if(calls(), [&](const auto& c) { return c.starts_with(prefix); });
    }
    int configure_count() const { return m_configure_count.load(); }
    // The current sink, with a reference for the caller.
    IVXLCallback* sink(int* configuration = nullptr) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_sink) m_sink->AddRef();
        if (configuration) *configuration = m_configure_count.load();
        return m_sink;
    }

    // Runs event on the engine's thread with the current sink; its answer.
    int32_t raise(std::function<int32_t(IVXLCallback*)> event) {
        std::promise<int32_t> answer;
        post([&] {
            IVXLCallback* s = sink();
            answer.set_value(event(s));
            s->Release();
        });
        return answer.get_future().get();
    }
    // event(sink, configuration) count times on the engine's thread, not waiting.
    void stream(int count, std::function<void(IVXLCallback*, int)> event) {
        m_streamed = false;
        post([this, count, event] {
            for (int i = 0; i < count; ++i) {
                int configuration = 0;
                IVXLCallback* s = sink(&configuration);
                event(s, configuration);
                s->Release();
            }
            m_streamed = true;
        });
    }
    bool streamed() const { return m_streamed.load(); }

    uint32_t AddRef() override { return ++m_references; }
    uint32_t Release() override {
        uint32_t left = --m_references;
        if (left == 0) delete this;
        return left;
    }
    int32_t ConfigureCallParameters(const char* ip, const char* number, const char* name,
                                    const char* agents, int32_t port, int32_t local_port,
                                    int32_t vocoder, int32_t, int32_t, int32_t, int32_t,
                                    IVXLCallback* sink, int32_t, int32_t, const char* extension,
                                    const char* account, const char* pin, int32_t flags,
                                    int32_t audit, int32_t, int32_t tos, const char*,
                                    const char*) override {
        char text[512];
        snprintf(text, sizeof(text),
                 "ConfigureCallParameters %s|%s|%s|%s|%d|%d|%d|%s|%s|%s|%d|%d|%d", ip, number, name,
                 agents, port, local_port, vocoder, extension, account, pin, flags, audit, tos);
        sink->AddRef();
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_sink) m_sink->Release();
        m_sink = sink;
        ++m_configure_count;
        m_calls.push_back(text);
        return results["ConfigureCallParameters"];
    }
    int32_t LogonToCallAgent() override { return record("LogonToCallAgent"); }
    int32_t Call(const char* number) override { return record("Call", number); }
    int32_t SendDigits(const char*) override { return record("SendDigits"); }
    int32_t Hangup() override { return record("Hangup"); }
    int32_t LogoffFromCallAgent(int32_t) override { return record("LogoffFromCallAgent"); }
    int32_t Answer() override { return record("Answer"); }
    int32_t GetStatistics(int32_t, int32_t, char*) override { return record("GetStatistics"); }
    int32_t GenericCommand(int32_t command, int32_t value, int32_t, const char* text, const char*,
                           int32_t*, char*) override {
        return record("GenericCommand",
                      std::to_string(command) + " " + std::to_string(value) + " " + text);
    }

  private:
    ~fake_engine() {
        post([this] { m_stop = true; });
        m_thread.join();
        if (m_sink) m_sink->Release();
    }
    int32_t record(const std::string& method, const std::string& argument = {}) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_calls.push_back(argument.empty() ? method : method + " " + argument);
        return results[method];
    }
    void post(std::function<void()> task) {
        std::lock_guard<std::mutex> guard(m_task_lock);
        m_tasks.push_back(std::move(task));
        m_wake.notify_one();
    }
    void run() {
        while (!m_stop) {
            std::unique_lock<std::mutex> guard(m_task_lock);
            m_wake.wait(guard, [this] { return !m_tasks.empty(); });
            auto task = std::move(m_tasks.front());
            m_tasks.pop_front();
            guard.unlock();
            task();
        }
    }

    std::atomic<uint32_t> m_references{1};
    std::mutex m_lock;
    std::vector<std::string> m_calls;
    IVXLCallback* m_sink = nullptr;
    std::atomic<int> m_configure_count{0};
    std::atomic<bool> m_streamed{true};
    std::mutex m_task_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stop = false;  // engine thread only
    std::thread m_thread;
};

class fake_timers final : public kestrel::control_timers {
  public:
    std::map<int, int> armed;           // id -> ms
    std::vector<int> reconnect_delays;  // every arming of the reconnect timer

    void set_expiry(expiry on_expiry) override { m_expiry = std::move(on_expiry); }
    void set_timer(int id, int ms) override {
        armed[id] = ms;
        if (id == kestrel::RECONNECT_TIMER) reconnect_delays.push_back(ms);
    }
    void kill_timer(int id) override { armed.erase(id); }
    void fire(int id) { m_expiry(id); }
    int delay(int id) const { return armed.count(id) ? armed.at(id) : -1; }

  private:
    expiry m_expiry;
};

// One running Ethernet adapter on loopback with a default gateway.
class one_adapter : public kestrel::interface_source {
  public:
    kestrel::network_snapshot snapshot() override {
        return {{{"eth0", "Ethernet", true, true, false, {"127.0.0.1"}}},
                "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                "eth0\t00000000\t0100007F\t0003\t0\t0\t0\t00000000\n",
                "Linux"};
    }
};

// The engines a control created outlive it, for the test to read.
struct engine_pool {
    std::vector<fake_engine*> created;
    std::vector<std::string> classes;  // every class asked for
    std::vector<std::string> refused;
    std::map<std::string, int32_t> results;  // for each new engine
    ~engine_pool() {
        for (auto* engine : created) engine->Release();
    }
};

// Surroundings for a control on engines from pool and timers the test fires.
inline kestrel::control_environment fake_environment(std::shared_ptr<engine_pool> pool,
                                                     const std::string& log_name,
                                                     int echo_delay = 0) {
    kestrel::control_environment env;
    env.create_engine = [pool](const char* name, ITarnwickVXL** out) -> int32_t {
        pool->classes.push_back(name);
        if (std::ranges::count(pool->refused, name)) return VXL_E_CLASS_NOT_REGISTERED;
        auto* engine = new fake_engine;
        engine->results = pool->results;
        engine->AddRef();  // the pool's
        pool->created.push_back(engine);
        *out = engine;
        return VXL_S_OK;
    };
    env.timers = std::make_unique<fake_timers>();
    env.log_file = process_temp_home() + "/VXLAX-" + log_name + ".log";
    env.echo_delay = echo_delay;
    return env;
}

class test_control : public kestrel::CVXLControl {
  public:
    explicit test_control(std::shared_ptr<engine_pool> pool = std::make_shared<engine_pool>())
        : test_control(pool, new fake_timers) {}
    ~test_control() override { Destroy(); }

    fake_engine& engine() { return *m_pool->created.back(); }
    fake_timers& timers() { return *m_timers; }

    std::vector<std::tuple<int, std::string, std::string>> states;  // ChangeQuillonState
    std::vector<std::string> scripts;
    std::vector<std::string> dialogs;
    std::map<std::string, std::string> caller_names;
    std::function<void(const std::string&)> on_caller_lookup;
    int closes = 0;

    std::vector<int> shown() const {
        std::vector<int> numbers;
        for (const auto& state : states) numbers.push_back(std::get<0>(state));
        return numbers;
    }
    // Set up with every parameter present, so it configures and logs on.
    void start(const std::string& mode = {}) {
        SetParameterValue("ParametersToExpect", "0");
        if (!mode.empty()) SetParameterValue("Mode", mode);
        InitialSetup();
    }
    void log_on() {
        start();
        engine().raise([](IVXLCallback* s) { return s->ConnectedToCallAgent(); });
        deliver();
    }
    void type(const std::string& text) { SetDisplayText(text); }
    // Runs what the engine's events queued for the GUI thread, and the call
    // those may queue in turn.
    static void deliver() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
    }

  protected:
    std::string GetCallerIDNameFromNumber(const std::string& number) override {
        if (on_caller_lookup) on_caller_lookup(number);
        return caller_names.count(number) ? caller_names[number] : std::string();
    }
    void ChangeQuillonState(int32_t state, const std::string& number,
                            const std::string& name) override {
        states.emplace_back(state, number, name);
    }
    std::string ExecuteJavaScriptCommand(const std::string& command) override {
        scripts.push_back(command);
        return {};
    }
    void ShowAudioDeviceInUseDialog(const std::string& title, const std::string& text,
                                    const std::string& button) override {
        dialogs.push_back(title + "|" + text.substr(0, 9) + "|" + button);
    }
    void CloseParentWindow() override { ++closes; }

  private:
    test_control(std::shared_ptr<engine_pool> pool, fake_timers* timers)
        : CVXLControl(environment(pool, timers)), m_pool(pool), m_timers(timers) {}

    static kestrel::control_environment environment(std::shared_ptr<engine_pool> pool,
                                                    fake_timers* timers) {
        static int logs = 0;
        auto env = fake_environment(pool, "state-" + std::to_string(++logs), -1);
        env.timers.reset(timers);
        return env;
    }

    std::shared_ptr<engine_pool> m_pool;
    fake_timers* m_timers;
};

}  // namespace voxline::test
