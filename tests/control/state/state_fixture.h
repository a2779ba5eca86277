// Stand-ins for what the control drives: an engine raising its events from a
// thread of its own, timers the test fires, and a container that records what
// the control showed it.
#pragma once

#include <gtest/gtest.h>
#include <voxline/voxline.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <tuple>

#include "network/interface_source.h"
#include "phone/active_x_phone.h"
#include "state/vxl_control.h"
#include "support/temp_home.h"

namespace voxline::test {

class fake_engine final : public ITarnwickVXL {
  public:
    std::map<std::string, int32_t> results;  // by method name; 0 when not given

    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_calls;
    }
    size_t count(const std::string& prefix) {
        return std::ranges::count_if(calls(), [&](const auto& c) { return c.starts_with(prefix); });
    }
    // The current sink, with a reference for the caller.
    IVXLCallback* sink() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_sink) m_sink->AddRef();
        return m_sink;
    }
    // Runs event off the GUI thread with the current sink; its answer.
    int32_t raise(std::function<int32_t(IVXLCallback*)> event) {
        IVXLCallback* s = sink();
        const int32_t answer = std::async(std::launch::async, event, s).get();
        s->Release();
        return answer;
    }

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
        if (m_sink) m_sink->Release();
    }
    int32_t record(const std::string& method, const std::string& argument = {}) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_calls.push_back(argument.empty() ? method : method + " " + argument);
        return results[method];
    }

    std::atomic<uint32_t> m_references{1};
    std::mutex m_lock;
    std::vector<std::string> m_calls;
    IVXLCallback* m_sink = nullptr;
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

// Adapters and a kernel route table as the test gives them.
struct fixed_adapters final : kestrel::interface_source {
    explicit fixed_adapters(kestrel::network_snapshot given) : m_snapshot(std::move(given)) {}
    kestrel::network_snapshot snapshot() override { return m_snapshot; }
    const kestrel::network_snapshot m_snapshot;
};

// Running Ethernet adapters: name, address, default gateway as the kernel writes it.
inline std::unique_ptr<fixed_adapters> ethernet(std::vector<std::array<std::string, 3>> adapters) {
    kestrel::network_snapshot s{
        {}, "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n", "Linux"};
    for (const auto& [name, address, gateway] : adapters) {
        s.interfaces.push_back({name, "Ethernet", true, true, false, {address}});
        s.route_text += name + "\t00000000\t" + gateway + "\t0003\t0\t0\t0\t00000000\n";
    }
    return std::make_unique<fixed_adapters>(std::move(s));
}

// The engines a control created outlive it, for the test to read.
struct engine_pool {
    std::vector<fake_engine*> created;
    std::vector<std::string> classes;  // every class asked for
    std::vector<std::string> refused;
    std::map<std::string, int32_t> results;  // for each new engine
    ~engine_pool() {
        for (auto* engine : created) engine->Release();
    }
    fake_engine& engine() { return *created.back(); }
};

// Surroundings for a control on engines from pool and timers the test fires.
inline kestrel::control_environment fake_environment(std::shared_ptr<engine_pool> pool,
                                                     fake_timers* timers = new fake_timers) {
    static int logs = 0;
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
    env.timers.reset(timers);
    env.log_file = process_temp_home() + "/VXLAX-" + std::to_string(++logs) + ".log";
    env.echo_delay = -1;  // none stored
    return env;
}

// Runs what the engine's events queued for the GUI thread, and the call those
// may queue in turn.
inline void deliver() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents();
}

inline void log_on(fake_engine& engine) {
    engine.raise([](IVXLCallback* s) { return s->ConnectedToCallAgent(); });
    deliver();
}

class test_control : public kestrel::CVXLControl {
  public:
    explicit test_control(std::shared_ptr<engine_pool> pool = std::make_shared<engine_pool>(),
                          fake_timers* timers = new fake_timers)
        : CVXLControl(fake_environment(pool, timers)), m_pool(pool), m_timers(timers) {}
    // On engines whose methods give these results.
    explicit test_control(std::map<std::string, int32_t> results) : test_control() {
        m_pool->results = std::move(results);
    }
    ~test_control() override { Destroy(); }

    fake_engine& engine() { return m_pool->engine(); }
    fake_timers& timers() { return *m_timers; }

    std::vector<std::tuple<int, std::string, std::string>> states;  // ChangeQuillonState
    std::vector<int> shown;                                         // their numbers
    std::vector<std::string> scripts;
    std::vector<std::string> dialogs;
    std::map<std::string, std::string> caller_names;
    int closes = 0;

    // Set up with every parameter present, so it configures and logs on.
    void start(const std::string& mode = {}) {
        SetParameterValue("ParametersToExpect", "0");
        if (!mode.empty()) SetParameterValue("Mode", mode);
        InitialSetup();
    }
    void log_on() {
        start();
        test::log_on(engine());
    }
    void type(const std::string& text) { SetDisplayText(text); }

  protected:
    std::string GetCallerIDNameFromNumber(const std::string& number) override {
        return caller_names.count(number) ? caller_names[number] : std::string();
    }
    void ChangeQuillonState(int32_t state, const std::string& number,
                            const std::string& name) override {
        states.emplace_back(state, number, name);
        shown.push_back(state);
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
    std::shared_ptr<engine_pool> m_pool;
    fake_timers* m_timers;
};

// The automation class on engines from a pool, released when it goes.
struct phone_deleter {
    void operator()(kestrel::active_x_phone* phone) const { phone->Release(); }
};
using phone_ptr = std::unique_ptr<kestrel::active_x_phone, phone_deleter>;

inline phone_ptr make_phone(std::shared_ptr<engine_pool> pool,
                            std::unique_ptr<kestrel::interface_source> interfaces =
                                ethernet({{"eth0", "127.0.0.1", "0100007F"}})) {
    return phone_ptr(new kestrel::active_x_phone(fake_environment(pool), std::move(interfaces)));
}

// A string the control allocated, freed.
inline std::string take(char* text) {
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

}  // namespace voxline::test
