// The call thread: one per logon. It owns the MGCP endpoint, turns recorded
// requests into endpoint and media actions and raises the client's events.
#include <poll.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "audio/rtp_streamer.h"
#include "core/call_control.h"
#include "core/mgcp_callbacks.h"
#include "core/tarnwick_vxl.h"
#include "core/tone_player.h"
#include "mgcp/mgcp_endpoint.h"
#include "platform/clock.h"
#include "util/log_queue.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

constexpr int MESSAGES_PER_PASS = 5;
constexpr uint32_t KEEPALIVE_INTERVAL_MS = 35000;
// While diagnostic lines wait for the client, the thread comes back soon.
constexpr int64_t MESSAGE_DRAIN_WAIT_MS = 1;

enum class call_action { none, new_call, dynamic_info, onhook, digits, answer };

bool is_sendable_digit(char c) {
    return (c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D') ||
           (c >= 'a' && c <= 'd');
}

void deliver_queued_messages(call_control* control) {
    log_queue* queue = log_queue_current();
    if (!queue) return;
    queue->drain(MESSAGES_PER_PASS, [control](int level, const char* text) {
        std::lock_guard<std::mutex> lock(callback_lock());
        if (IVXLCallback* cb = control->callback_for_messages())
            cb->MessagePrint(level, 0, "", text);
    });
}

bool start_endpoint(CTarnwickVXL* engine, call_control* control, mgcp_endpoint* endpoint) {
    CTarnwickVXL* expected = nullptr;
    if (!gTarnwickVXL.compare_exchange_strong(expected, engine) && expected != engine) {
        VXL_LOG(LOG_ERROR,
                "Application created more than one ITarnwickVXL interface in a single "
                "process");
        // No desktop here to show a box on; standard error is where the user looks.
        fprintf(stderr,
                "MGCP Initialization: Internal Application Error 0001 - Application attempted to "
                "create VXL object while one already exists.  Close browser/application "
                "windows.\n");
        return false;
    }
    control->set_endpoint(endpoint);
    if (endpoint->MgcpInit() != 0) {
        control->set_endpoint(nullptr);
        return false;
    }
    control->reset_line(tick_ms());
    return true;
}

void report_echo_delay(call_control* control) {
    if (!control->echo_delay_expected() || !control->media()) return;
    const int delay = control->media()->take_measured_echo_delay();
    if (delay == 0) return;
    control->raise_generic_event(VXL_EVENT_ECHO_DELAY, delay, 0, "");
    control->echo_delay_reported(delay);
}

void raise_periodic_statistics(call_control* control, uint32_t now) {
    rtp_streamer_t* media = control->media();
    if (!media || control->ms_until_statistics(now) != 0) return;
    char age[16];
    snprintf(age, sizeof age, "%u", media->statistics_age_ms());
    control->raise_generic_event(VXL_EVENT_RTP_STATISTICS, static_cast<int>(media->packets_sent()),
                                 static_cast<int>(media->packets_received()), age);
    control->note_statistics(now);
}

// Picks at most one action from the request flags, under the method lock.
call_action choose_action(CTarnwickVXL* engine, call_control* control, std::string* argument,
                          bool* logoff_requested, bool* stop_requested) {
    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    request_flags& f = engine->flags();
    call_action action = call_action::none;
    if (f.hangup) {
        f.hangup = false;
        if (engine->has_pending_number()) {
            engine->drop_pending_number();
            VXL_LOG(LOG_INFO, "Hangup called before the call was initiated.  Sending disconnect");
            control->handle_call_progress_event(CPE_DISCONNECTED);
        } else if (!f.onhook_sent) {
            f.onhook_sent = true;
            action = call_action::onhook;
        }
    } else if (f.answer) {
        f.answer = false;
        action = call_action::answer;
    } else if (f.logged_on) {
        if (f.dynamic_info_pending) {
            f.dynamic_info_pending = false;
            action = call_action::dynamic_info;
        } else if (engine->take_pending_number(argument)) {
            action = call_action::new_call;
        } else if (engine->take_pending_digits(argument)) {
            action = call_action::digits;
        }
    }
    if (f.logoff) {
        f.logoff = false;
        *logoff_requested = true;
    }
    *stop_requested = f.stop;
    return action;
}

void answer_call(call_control* control, mgcp_endpoint* endpoint) {
    rtp_streamer_t* media = control->media();
    if (media) {
        const int32_t rc = media->open_sound_devices(true);
        if (rc != 0) {
            control->set_status(VXL_STATUS_SOUND_DEVICE_FAILED, rc);
            control->handle_call_progress_event(CPE_STATUS);
        }
    }
    endpoint->mgcp_notify_hook_status(MGCP_HOOK_OFF);
    if (!control->ringing()) return;
    bool ok = false;
    const std::string& remote = control->remote_rtp_address();
    if (!remote.empty() && control->remote_rtp_port() > 0 && media) {
        control->handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
        bool flagged = false;
        if (media->enable_rtp_streamer(remote.c_str(), control->remote_rtp_port(), &flagged) == 0) {
            control->set_voice_path_active();
            control->set_in_call(true);
            control->handle_call_progress_event(CPE_ANSWERED);
            ok = true;
        } else {
            if (flagged) {
                control->set_status(VXL_STATUS_MEDIA_FAILURE_FLAGGED, 0);
                control->handle_call_progress_event(CPE_STATUS);
            }
            VXL_LOG(LOG_ERROR, "Failed enabling RTP streamer");
        }
    } else {
        VXL_LOG(LOG_ERROR, "Can't enable RTP streamer, invalid remote RTP info (ip=[%s], port=%d",
                remote.c_str(), control->remote_rtp_port());
    }
    if (!ok) {
        VXL_LOG(LOG_INFO, "Unable to send off-hook to call agent.  Disconnecting call.");
        // The call agent has seen the off-hook: hang up with it, or the media session
        // and its relay port stay held by a call nobody has any more. Disconnected
        // comes with the on-hook's answer, once, as for any hang-up.
        if (CTarnwickVXL* engine = control->owner())
            engine->Hangup();
        else
            control->handle_call_progress_event(CPE_DISCONNECTED);
    }
}

void perform_action(call_control* control, mgcp_endpoint* endpoint, call_action action,
                    const std::string& argument) {
    switch (action) {
        case call_action::none:
            return;
        case call_action::new_call: {
            // In call before the NTFY leaves, so a second Call can never slip in.
            control->set_in_call(true);
            int rc = endpoint->mgcp_notify_new_call(argument.c_str(), control->caller_number(),
                                                    control->caller_name());
            if (rc != 0) {
                control->set_in_call(false);
                VXL_LOG(LOG_ERROR, "mgcp_notify_new_call failed. rc=%d", rc);
                VXL_LOG(LOG_ERROR, "Unable to initiate call to call agent.  Disconnecting call");
                control->handle_call_progress_event(CPE_DISCONNECTED);
            }
            return;
        }
        case call_action::dynamic_info:
            if (endpoint->send_dynamic_ep_info(control->extension().c_str(),
                                               control->account().c_str(), control->pin().c_str(),
                                               control->scrambled()) != 0) {
                VXL_LOG(LOG_ERROR, "send_dynamic_ep_info failed");
                VXL_LOG(LOG_INFO, "Unable to send dynamic endpoint info to call agent.");
            }
            return;
        case call_action::onhook:
            control->onhook_action();
            return;
        case call_action::digits: {
            rtp_streamer_t* media = control->media();
            if (!control->in_call() && !control->ringing()) {
                VXL_LOG(LOG_INFO, "Playing onhook DTMF digits [%s]", argument.c_str());
                if (media) media->play_onhook_digits(argument.c_str());
                return;
            }
            if (!control->voice_path_active() || !media) {
                VXL_LOG(LOG_INFO, "Not sending digits because RTP session not active.");
                return;
            }
            // Heard locally, "@" included; only real digits reach the call agent.
            media->queue_digits(argument.c_str());
            std::string sendable;
            for (char c : argument)
                if (is_sendable_digit(c)) sendable += c;
            if (!sendable.empty()) endpoint->mgcp_send_digits(sendable.c_str());
            return;
        }
        case call_action::answer:
            answer_call(control, endpoint);
            return;
    }
}

// How long the thread may sleep: until the earliest of its deadlines. Every
// other piece of work (a request, a datagram, a measured echo delay, a line
// for MessagePrint) signals a descriptor the thread waits on.
int64_t next_wait_ms(call_control* control, mgcp_endpoint* endpoint, int64_t keepalive_due_ms,
                     uint32_t now) {
    int64_t wait = keepalive_due_ms;
    for (const int64_t due : {endpoint->ms_until_next_timer(), control->ms_until_watchdog(now),
                              control->ms_until_statistics(now)})
        if (due >= 0) wait = std::min(wait, due);
    if (log_queue* queue = log_queue_current(); queue && queue->pending_count() > 0)
        wait = std::min(wait, MESSAGE_DRAIN_WAIT_MS);
    return std::max<int64_t>(wait, 0);
}

// Sleeps until there is work or wait_ms has passed; true when the MGCP socket
// has something to read.
bool wait_for_work(CTarnwickVXL* engine, mgcp_endpoint* endpoint, int64_t wait_ms) {
    pollfd fds[3];
    nfds_t count = 0;
    fds[count++] = {engine->wake_descriptor(), POLLIN, 0};
    log_queue* queue = log_queue_current();
    if (queue && queue->wake_descriptor() >= 0)
        fds[count++] = {queue->wake_descriptor(), POLLIN, 0};
    nfds_t socket_index = count;
    if (const auto& socket = endpoint->transport().socket(); socket && socket->is_open())
        fds[count++] = {socket->fd(), POLLIN, 0};
    else
        socket_index = 0;
    const int ready = ::poll(fds, count, static_cast<int>(std::min<int64_t>(wait_ms, INT_MAX)));
    engine->drain_wake_descriptor();
    if (queue) queue->drain_wake_descriptor();
    // An error on the socket is left for the read to report.
    return ready > 0 && socket_index > 0 && (fds[socket_index].revents & (POLLIN | POLLERR));
}

// Returns after the session with the current call agent ended.
void mgcp_main(CTarnwickVXL* engine, call_control* control) {
    mgcp_callbacks callbacks;
    mgcp_endpoint endpoint(callbacks);
    if (!start_endpoint(engine, control, &endpoint)) {
        VXL_LOG(LOG_ERROR, "MgcpInit failed");
        control->handle_call_progress_event(CPE_CALL_AGENT);
        deliver_queued_messages(control);
        return;
    }
    // Monotonic, so a change of the wall clock neither stops nor floods the keep-alives.
    uint32_t last_keepalive = tick_ms();
    bool readable = true;
    while (true) {
        const uint32_t now = tick_ms();
        deliver_queued_messages(control);
        if (readable && endpoint.poll() > 0) control->note_contact(tick_ms());
        endpoint.run_timers();
        if (take_finished_tone(control->media())) {
            VXL_LOG(LOG_INFO, "Restarting current tone (%d)", control->current_tone());
            play_call_progress_tone(control->media(), control->current_tone());
        }
        report_echo_delay(control);
        raise_periodic_statistics(control, now);

        if (control->watchdog_expired(tick_ms())) {
            VXL_LOG(LOG_ALWAYS, "Lost connection to Call Manager...disconnecting.");
            control->onhook_action();
            handle_lost_call_agent(engine, control, false);
        }

        std::string argument;
        bool logoff_requested = false, stop_requested = false;
        const call_action action =
            choose_action(engine, control, &argument, &logoff_requested, &stop_requested);
        perform_action(control, &endpoint, action, argument);

        if (logoff_requested) {
            std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
            if (!engine->flags().logoff_notice_sent) {
                control->handle_call_progress_event(CPE_LOGOFF);
                engine->flags().logoff_notice_sent = true;
            }
        }
        {
            std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
            stop_requested = engine->flags().stop;
        }
        if (stop_requested) {
            control->close_voice_path();
            endpoint.MgcpClose();
            control->set_endpoint(nullptr);
            deliver_queued_messages(control);
            return;
        }

        const uint32_t after = tick_ms();
        if (after - last_keepalive >= KEEPALIVE_INTERVAL_MS) {
            endpoint.send_keepalive();
            last_keepalive = after;
        }
        const int64_t keepalive_due_ms = static_cast<int64_t>(KEEPALIVE_INTERVAL_MS) -
                                         static_cast<int64_t>(after - last_keepalive);
        const int64_t wait = next_wait_ms(control, &endpoint, keepalive_due_ms, after);
        control->note_wait(wait);
        readable = wait_for_work(engine, &endpoint, wait);
    }
}

}  // namespace

void call_control::send_graceful_restart() {
    if (m_endpoint) m_endpoint->mgcp_send_rsip_graceful();
}

void call_control::close_voice_path() {
    m_line.voice_path_active = false;
    // A delay measured after the session closed belongs to no call.
    m_line.report_delay = false;
    rtp_streamer_t* media = m_rtp_streamer.get();
    const bool was_open = media && media->is_open();
    if (media) media->close_rtp_session();
    m_in_call.store(false);
    m_ringing.store(false);
    m_line.ring_back = false;
    line_changed();
    if (was_open && callback_usable()) {
        char age[16];
        snprintf(age, sizeof age, "%u", media->statistics_age_ms());
        VXL_LOG(LOG_ALWAYS, "Calling GenericEvent(VXL_EVENT_RTP_STATISTICS,tx=%d,rx=%d,%s ms)",
                static_cast<int>(media->packets_sent()),
                static_cast<int>(media->packets_received()), age);
        raise_generic_event(VXL_EVENT_RTP_STATISTICS, static_cast<int>(media->packets_sent()),
                            static_cast<int>(media->packets_received()), age);
    }
}

int call_control::onhook_action() {
    if (!m_in_call.load() && !m_ringing.load()) return 0;
    // The line goes straight from the call to its release.
    m_line.releasing = true;
    close_voice_path();
    int rc = m_endpoint ? m_endpoint->mgcp_notify_hook_status(MGCP_HOOK_ON) : -1;
    m_in_call.store(false);
    m_ringing.store(false);
    if (rc != 0) {
        VXL_LOG(LOG_ERROR, "mgcp_notify_hook_status failed, rc =%d", rc);
        VXL_LOG(LOG_INFO, "Unable to send on-hook to call agent.  Disconnecting call.");
        handle_call_progress_event(CPE_DISCONNECTED);
    }
    return rc;
}

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
                engine->flags().stop = false;
                control->handle_call_progress_event(CPE_ROLL_OVER);
                lock.unlock();
                mgcp_main(engine, control);
                lock.lock();
            }
            deliver_queued_messages(control);
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
