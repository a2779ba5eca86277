#include "core/mic_wizard.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <vector>

#include "audio/mic_level_meter.h"
#include "audio/sound_device_codes.h"
#include "platform/sound/thread_message_queue.h"
#include "platform/sound/wave_api.h"
#include "util/vxl_log.h"

namespace voxline {
namespace {

constexpr int BUFFER_COUNT = 200;
constexpr uint32_t BUFFER_BYTES = 160;  // 10 ms
// Room for every buffer's completion and the quit message.
constexpr size_t QUEUE_CAPACITY = 256;
constexpr int STOP_WAIT_MS = 5000;
// A bounded wait, so a lost message cannot park the thread for ever.
constexpr int MESSAGE_WAIT_MS = 1000;

enum : uint32_t { MSG_BUFFER_DONE = 1, MSG_QUIT = 2 };

}  // namespace

struct mic_wizard::capture_run {
    wave_handle device = 0;
    std::vector<uint8_t> data = std::vector<uint8_t>(BUFFER_COUNT * BUFFER_BYTES);
    wave_header headers[BUFFER_COUNT];
    thread_message_queue queue{QUEUE_CAPACITY};
    std::atomic<bool> stopping{false};
    IVXLCallback* callback = nullptr;

    std::mutex state_lock;
    std::condition_variable finished_signal;
    bool finished = false;
    bool orphaned = false;  // stop gave up waiting: the thread closes the device

    ~capture_run() {
        if (callback) callback->Release();
    }

    void close_device() {
        if (device == 0) return;
        VXL_LOG(LOG_INFO, "Closing audio input device");
        wave_in_close(device);
        device = 0;
        VXL_LOG(LOG_INFO, "Closed audio input device");
    }
};

namespace {

using capture_run = mic_wizard::capture_run;

void on_buffer_done(wave_handle, wave_header* header, void* context) {
    auto* run = static_cast<capture_run*>(context);
    run->queue.post({MSG_BUFFER_DONE, reinterpret_cast<uintptr_t>(header), 0});
}

void queue_buffer(capture_run& run, wave_header& header) {
    header.buffer_length = BUFFER_BYTES;
    header.bytes_recorded = 0;
    int32_t rc = wave_in_prepare(run.device, &header);
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveInPrepareHeader failed:  error=%d", rc);
        return;
    }
    rc = wave_in_add_buffer(run.device, &header);
    if (rc != WAVE_OK) VXL_LOG(LOG_ERROR, "waveInAddBuffer failed:  error=%d", rc);
}

void queue_all_buffers(capture_run& run) {
    for (wave_header& header : run.headers) {
        int32_t rc = wave_in_unprepare(run.device, &header);
        if (rc != WAVE_OK && rc != WAVE_UNPREPARED) {
            VXL_LOG(LOG_ERROR, "waveInUnprepareHeader failed: error=%d", rc);
        }
        header.buffer_length = BUFFER_BYTES;
        rc = wave_in_prepare(run.device, &header);
        if (rc != WAVE_OK) {
            VXL_LOG(LOG_ERROR, "waveInPrepareHeader failed: error=%d, %d, %d", rc, 5, run.device);
            continue;
        }
        rc = wave_in_add_buffer(run.device, &header);
        if (rc != WAVE_OK) VXL_LOG(LOG_ERROR, "waveInAddBuffer failed: error=%d", rc);
    }
    const int32_t rc = wave_in_start(run.device);
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveInStart failed:  error=%d", rc);
    } else {
        VXL_LOG(LOG_INFO, "waveInStart succeeded");
    }
}

void report_level(capture_run& run, int32_t level) {
    int32_t out1 = 0;
    char* out2 = nullptr;
    run.callback->GenericEvent(VXL_EVENT_MIC_LEVEL, level, 0, "", "", &out1, &out2);
    free(out2);
}

void capture(capture_run& run) {
    queue_all_buffers(run);
    mic_level_meter meter;
    for (;;) {
        thread_message message;
        if (!run.queue.get(message, MESSAGE_WAIT_MS)) continue;
        if (message.id == MSG_QUIT) break;
        auto* header = reinterpret_cast<wave_header*>(message.wparam);
        const int32_t rc = wave_in_unprepare(run.device, header);
        if (rc != WAVE_OK && rc != WAVE_INVALID_HANDLE) {
            VXL_LOG(LOG_ERROR, "waveInUnprepareHeader failed:  error=%d", rc);
        }
        if (run.stopping.load()) continue;
        const auto* samples = reinterpret_cast<const int16_t*>(header->data);
        if (auto level = meter.add_buffer(samples, header->bytes_recorded / 2)) {
            report_level(run, *level);
        }
        // The level event may have stopped the capture.
        if (!run.stopping.load()) queue_buffer(run, *header);
    }
    VXL_LOG(LOG_INFO, "Terminating mic wizard thread.");
}

void mic_wizard_thread_proc(std::shared_ptr<capture_run> run) {
    if (!run->callback) {
        VXL_LOG(LOG_ERROR, "Callback stream is NULL in mic wizard thread");
    } else {
        try {
            capture(*run);
        } catch (...) {
            VXL_LOG(LOG_ERROR, "Warning--Exception encountered in mic_wizard_thread_proc");
        }
    }
    bool orphaned;
    {
        std::lock_guard<std::mutex> lock(run->state_lock);
        run->finished = true;
        orphaned = run->orphaned;
    }
    run->finished_signal.notify_all();
    // Nobody waits any more: the device and buffers are this thread's to free.
    if (orphaned) run->close_device();
}

}  // namespace

mic_wizard::~mic_wizard() {
    if (running()) stop();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        join_retired();
    }
    set_callback(nullptr);
}

void mic_wizard::join_retired() {
    if (m_retired.joinable() && m_retired.get_id() != std::this_thread::get_id()) m_retired.join();
}

bool mic_wizard::running() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_run != nullptr;
}

void mic_wizard::set_callback(IVXLCallback* callback) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (callback) callback->AddRef();
    if (m_callback) m_callback->Release();
    m_callback = callback;
}

int32_t mic_wizard::start() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_run) {
        VXL_LOG(LOG_INFO, "Attempted to start mic wizard when it is already running.");
        return VXL_S_NOTHING_TO_DO;
    }
    join_retired();
    route_sound_log_to_engine_log();
    auto run = std::make_shared<capture_run>();
    for (int i = 0; i < BUFFER_COUNT; ++i) {
        run->headers[i].data = run->data.data() + i * BUFFER_BYTES;
        run->headers[i].buffer_length = BUFFER_BYTES;
    }
    const wave_format format{};
    const int32_t rc =
        wave_in_open(&run->device, k_wave_mapper, &format, on_buffer_done, run.get());
    if (rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveInOpen failed: error=%d", rc);
        return input_open_result(rc);
    }
    VXL_LOG(LOG_ERROR, "******Audio Handle =%d", run->device);
    VXL_LOG(LOG_INFO, "waveInOpen succeeded");

    if (m_callback) {
        m_callback->AddRef();
        run->callback = m_callback;
    }
    try {
        m_thread = std::thread(mic_wizard_thread_proc, run);
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Unable to launch mic wizard thread");
        run->close_device();
        return VXL_E_FAIL;
    }
    m_run = std::move(run);
    return VXL_S_OK;
}

void mic_wizard::stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_run) {
        VXL_LOG(LOG_INFO, "Attempted to stop mic wizard when it is not running.");
        join_retired();
        return;
    }
    std::shared_ptr<capture_run> run = std::move(m_run);
    run->stopping = true;
    VXL_LOG(LOG_INFO, "Resetting audio input device");
    wave_in_reset(run->device);
    run->queue.post({MSG_QUIT, 0, 0});

    // Called from the level event on the capture thread: waiting would wait
    // for ourselves, so hand the clean-up to the thread.
    if (std::this_thread::get_id() == m_thread.get_id()) {
        std::lock_guard<std::mutex> state(run->state_lock);
        run->orphaned = true;
        join_retired();
        m_retired = std::move(m_thread);
        return;
    }
    join_retired();
    bool finished;
    {
        std::unique_lock<std::mutex> state(run->state_lock);
        finished = run->finished_signal.wait_for(state, std::chrono::milliseconds(STOP_WAIT_MS),
                                                 [&] { return run->finished; });
        if (!finished) run->orphaned = true;
    }
    if (!finished) {
        VXL_LOG(LOG_ERROR, "Timed out waiting for mic-wizard thread to terminate");
        m_thread.detach();
        return;
    }
    m_thread.join();
    run->close_device();
}

}  // namespace voxline
