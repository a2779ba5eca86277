// The call thread: one per logon. It owns the MGCP endpoint, turns recorded
// requests into endpoint and media actions and raises the client's events.
#include "core/call_control.h"
#include "core/log_queue.h"
#include "core/tarnwick_vxl.h"
#include "core/vxl_log.h"

namespace voxline {

namespace {

constexpr int MESSAGES_PER_PASS = 5;

void deliver_queued_messages(call_control* control) {
    log_queue* queue = log_queue_current();
    if (!queue) return;
    queue->drain(MESSAGES_PER_PASS, [control](int level, const char* text) {
        std::lock_guard<std::mutex> lock(callback_lock());
        if (IVXLCallback* cb = control->callback_for_messages()) cb->MessagePrint(level, 0, "", text);
    });
}

// Returns after the session with the current call agent ended.
void mgcp_main(CTarnwickVXL* engine, call_control* control) {
    deliver_queued_messages(control);
    VXL_LOG(LOG_ERROR, "MgcpInit failed");
    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    control->handle_call_progress_event(CPE_CALL_AGENT);
    deliver_queued_messages(control);
}

}  // namespace

void call_control::send_graceful_restart() {}

void call_thread_proc(CTarnwickVXL* engine) {
    call_control* control = nullptr;
    try {
        {
            std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
            control = engine->control();
            if (!control) {
                VXL_LOG(LOG_ERROR, "m_call_control pointer is NULL");
                engine->m_thread_running.store(false);
                return;
            }
            if (!control->take_callback()) {
                VXL_LOG(LOG_ERROR, "failed to marshal callback interface");
                engine->m_thread_running.store(false);
                return;
            }
            control->add_ref();
        }
        mgcp_main(engine, control);
        {
            std::unique_lock<std::recursive_mutex> lock(engine->method_lock());
            while (engine->flags().roll_over) {
                if (!control->next_call_agent()) {
                    control->handle_call_progress_event(CPE_CALL_AGENT);
                    break;
                }
                engine->flags().roll_over = false;
                control->handle_call_progress_event(CPE_ROLL_OVER);
                lock.unlock();
                mgcp_main(engine, control);
                lock.lock();
            }
            control->uninit_interface();
            control->release();
        }
    } catch (...) {
        VXL_LOG(LOG_ALWAYS,
                "Warning--Exception encountered in call_thread_proc.  (OK if shutting down while "
                "call in progress.)");
    }
    engine->m_thread_running.store(false);
}

}  // namespace voxline
