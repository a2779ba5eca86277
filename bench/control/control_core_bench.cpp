// The phone control's own costs, with an engine that only keeps the sink: an
// event raised on the engine's thread until the container's
// ChangeQuillonState (GUI idle, and busy with 2 ms slices of other work), one
// log line, and SetParameter once set up.
#include <benchmark/benchmark.h>
#include <voxline/voxline.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "kestrel/kestrel.h"
#include "log/control_log.h"
#include "phone/active_x_phone.h"

namespace {

using steady = std::chrono::steady_clock;

class bench_engine final : public ITarnwickVXL {
  public:
    uint32_t AddRef() override { return ++m_references; }
    uint32_t Release() override {
        const uint32_t left = --m_references;
        if (left == 0) delete this;
        return left;
    }
    int32_t ConfigureCallParameters(const char*, const char*, const char*, const char*, int32_t,
                                    int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                    IVXLCallback* sink, int32_t, int32_t, const char*, const char*,
                                    const char*, int32_t, int32_t, int32_t, int32_t, const char*,
                                    const char*) override {
        sink->AddRef();
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_sink) m_sink->Release();
        m_sink = sink;
        return VXL_S_OK;
    }
    int32_t LogonToCallAgent() override { return VXL_S_OK; }
    int32_t Call(const char*) override { return VXL_S_OK; }
    int32_t SendDigits(const char*) override { return VXL_S_OK; }
    int32_t Hangup() override { return VXL_S_OK; }
    int32_t LogoffFromCallAgent(int32_t) override { return VXL_S_OK; }
    int32_t Answer() override { return VXL_S_OK; }
    int32_t GetStatistics(int32_t, int32_t, char*) override { return VXL_E_FAIL; }
    int32_t GenericCommand(int32_t, int32_t, int32_t, const char*, const char*, int32_t*,
                           char*) override {
        return VXL_S_OK;
    }

    // The current sink with a reference for the caller.
    IVXLCallback* sink() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_sink) m_sink->AddRef();
        return m_sink;
    }

  private:
    ~bench_engine() {
        if (m_sink) m_sink->Release();
    }
    std::atomic<uint32_t> m_references{1};
    std::mutex m_lock;
    IVXLCallback* m_sink = nullptr;
};

// The container: notes each state and when it arrived.
class bench_container final : public IActiveXPhoneEvents {
  public:
    std::atomic<int> states{0};
    steady::time_point last_at;

    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    int32_t GetCurrentLoadPercentagesOfCallManagers(const char*, char** loads) override {
        *loads = nullptr;
        return KESTREL_S_OK;
    }
    int32_t GetCallerIDNameFromNumber(const char*, char** name) override {
        *name = nullptr;
        return KESTREL_S_OK;
    }
    int32_t ChangeQuillonState(int32_t, const char*, const char*) override {
        last_at = steady::now();
        states.fetch_add(1, std::memory_order_release);
        return KESTREL_S_OK;
    }
    int32_t WriteJavaConsoleMessage(int32_t, const char*, const char*) override {
        return KESTREL_S_OK;
    }
    int32_t OnRequestEdit(int32_t) override { return 0; }
    int32_t OnChanged(int32_t) override { return KESTREL_S_OK; }
    int32_t ExecuteJavaScriptCommand(const char*, char** result) override {
        *result = nullptr;
        return KESTREL_S_OK;
    }
};

std::string bench_folder() {
    static const std::string folder = [] {
        const QString path = QDir::temp().filePath("kestrel-bench");
        QDir().mkpath(path);
        return path.toStdString();
    }();
    return folder;
}

// A control logged on to a bench engine, idle, with the container advised.
struct logged_on_phone {
    bench_engine* engine = nullptr;
    bench_container container;
    kestrel::active_x_phone* phone = nullptr;

    logged_on_phone() {
        kestrel::control_environment environment;
        environment.create_engine = [this](const char*, ITarnwickVXL** out) {
            engine = new bench_engine;
            engine->AddRef();  // ours
            *out = engine;
            return VXL_S_OK;
        };
        environment.log_file = bench_folder() + "/VXLAX.log";
        environment.echo_delay = 0;
        phone = new kestrel::active_x_phone(std::move(environment));
        phone->Advise(&container);
        phone->SetParameter("ParametersToExpect", "0");
        phone->InitialSetup();
        raise([](IVXLCallback* s) { s->ConnectedToCallAgent(); });
        QCoreApplication::processEvents();
    }
    ~logged_on_phone() {
        phone->Unadvise();
        phone->Release();
        if (engine) engine->Release();
    }
    template <typename Event>
    void raise(Event event) {
        IVXLCallback* sink = engine->sink();
        event(sink);
        sink->Release();
    }
};

// One engine thread raising Ringing and Disconnected in turn, each when the
// GUI asks, stamping the moment it calls the sink.
class engine_thread {
  public:
    explicit engine_thread(logged_on_phone& phone) : m_phone(phone), m_thread([this] { run(); }) {}
    ~engine_thread() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    void raise_next() {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_asked;
        m_wake.notify_one();
    }
    steady::time_point raised_at() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_raised_at;
    }

  private:
    void run() {
        for (int done = 0;; ++done) {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [&] { return m_stop || m_asked > done; });
            if (m_stop) return;
            m_raised_at = steady::now();
            guard.unlock();
            if (done % 2 == 0)
                m_phone.raise([](IVXLCallback* s) { s->Ringing("5550100"); });
            else
                m_phone.raise([](IVXLCallback* s) { s->Disconnected(VXL_DISCONNECT_NORMAL); });
        }
    }

    logged_on_phone& m_phone;
    std::mutex m_lock;
    std::condition_variable m_wake;
    int m_asked = 0;
    bool m_stop = false;
    steady::time_point m_raised_at;
    std::thread m_thread;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
    return values[at];
}

void event_to_state(benchmark::State& state, bool busy_gui) {
    logged_on_phone phone;
    engine_thread engine(phone);
    // Other GUI work in 2 ms slices, like painting or a dialog, all the time.
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [] {
        const auto until = steady::now() + std::chrono::milliseconds(2);
        while (steady::now() < until) {
        }
    });
    if (busy_gui) busy.start(0);

    std::vector<double> micros;
    for (auto _ : state) {
        const int before = phone.container.states.load(std::memory_order_acquire);
        engine.raise_next();
        while (phone.container.states.load(std::memory_order_acquire) == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        micros.push_back(
            std::chrono::duration<double, std::micro>(phone.container.last_at - engine.raised_at())
                .count());
    }
    busy.stop();
    state.counters["median_us"] = percentile(micros, 0.5);
    state.counters["p99_us"] = percentile(micros, 0.99);
}

void BM_event_to_change_state_idle_gui(benchmark::State& state) {
    event_to_state(state, false);
}
BENCHMARK(BM_event_to_change_state_idle_gui)->Iterations(2000)->UseRealTime();

void BM_event_to_change_state_busy_gui(benchmark::State& state) {
    event_to_state(state, true);
}
BENCHMARK(BM_event_to_change_state_busy_gui)->Iterations(1000)->UseRealTime();

// A diagnostic line to VXLAX.log, opened and closed per line.
void BM_log_line(benchmark::State& state) {
    kestrel::control_log log(bench_folder() + "/VXLAX-lines.log");
    log.set_diagnostics(true);
    for (auto _ : state) log.LogMessage(kestrel::LOG_INFO, "CallManagerState changed to 2");
    std::remove((bench_folder() + "/VXLAX-lines.log").c_str());
}
BENCHMARK(BM_log_line);

// A changed value once set up: the parameter log line and the settings re-read.
void BM_set_parameter_after_setup(benchmark::State& state) {
    logged_on_phone phone;
    bool flip = false;
    for (auto _ : state) {
        phone.phone->SetParameter("CallerIDName", (flip = !flip) ? "Ada" : "Grace");
    }
}
BENCHMARK(BM_set_parameter_after_setup);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("KESTREL_LOCAL_IP", "127.0.0.1");
    qputenv("KESTREL_MIXER", "none");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
