// The endpoint's way into call control. Every callback runs on the call
// thread and finds the engine through gTarnwickVXL, as the endpoint belongs
// to whichever engine object started it.
#include "core/mgcp_callbacks.h"

#include <arpa/inet.h>

#include <cstring>

#include "audio/rtp_streamer.h"
#include "core/call_control.h"
#include "core/tarnwick_vxl.h"
#include "mgcp/mgcp_message.h"
#include "mgcp/mgcp_tables.h"
#include "util/local_address.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

// The engine and its call control, or nullptr after logging why not.
call_control* find_call_control(const char* function) {
    CTarnwickVXL* engine = gTarnwickVXL.load();
    if (!engine) {
        VXL_LOG(LOG_ERROR, "gTarnwickVXL is NULL in %s", function);
        return nullptr;
    }
    call_control* control = engine->control();
    if (!control) VXL_LOG(LOG_ERROR, "Call control is NULL in %s", function);
    return control;
}

void dotted(uint32_t address, char* out, size_t size) {
    address_to_dotted(address, out, size);
}

}  // namespace

int mgcp_callbacks::VCGetCallAgentConfig(int, uint32_t* call_agent_address,
                                         uint16_t* call_agent_port,
                                         std::shared_ptr<udp_socket>* receiver) {
    call_control* control = find_call_control("VCGetCallAgentConfig");
    if (!control) return -1;
    if (!dotted_to_address(control->current_call_agent().c_str(), call_agent_address)) {
        VXL_LOG(LOG_ERROR, "Invalid call agent address [%s]",
                control->current_call_agent().c_str());
        return -1;
    }
    *call_agent_port = static_cast<uint16_t>(control->remote_mgcp_port());
    char local_ip[LOCAL_IP_MAX + 1];
    detect_local_address(local_ip);
    auto socket =
        std::make_shared<udp_socket>(local_ip, static_cast<uint16_t>(control->local_mgcp_port()));
    if (socket->listen_socket(0) != UDP_OK) {
        VXL_LOG(LOG_ERROR, "Unable to create receiver object");
        return -1;
    }
    *receiver = std::move(socket);
    return 0;
}

int mgcp_callbacks::LiOpenRTPSession(int, mgcp_connection_request* request) {
    call_control* control = find_call_control("LiOpenRTPSession");
    if (!control) return 0;
    rtp_streamer_t* media = control->media();
    if (!media) {
        VXL_LOG(LOG_ERROR, "rtp_context is NULL in %s", "LiOpenRTPSession");
        return 0;
    }
    if (control->settings().echo_cancelling && control->measure_delay())
        control->expect_echo_delay();
    int port = -1;
    bool flagged = false;
    const bool behind_nat = control->behind_nat();
    media->open_rtp_session(control->current_call_agent().c_str(), control->nat_info_port(),
                            behind_nat, static_cast<uint32_t>(control->echo_delay_ms()),
                            &request->local_address, &port, &flagged);
    if (port < 0) {
        control->close_voice_path();
        control->set_status(
            flagged ? VXL_STATUS_MEDIA_FAILURE_FLAGGED : VXL_STATUS_MEDIA_OPEN_FAILED, 0);
        control->handle_call_progress_event(CPE_STATUS);
        control->handle_call_progress_event(CPE_DISCONNECTED);
        return 0;
    }
    request->local_port = static_cast<uint16_t>(port);
    request->payload_type = static_cast<uint16_t>(media->payload_type());
    return 1;
}

int mgcp_callbacks::LiModifyRTPSession(int, mgcp_connection_request* request, int mode) {
    call_control* control = find_call_control("LiModifyRTPSession");
    if (!control) return 0;
    char address[16];
    dotted(request->remote_address, address, sizeof address);
    const bool incoming = mode == MGCP_MODIFY_INCOMING;
    VXL_LOG(LOG_ALWAYS, "Remote RTP IP = %s, port = %d, incoming=%s\n", address,
            request->remote_port, incoming ? "true" : "false");
    if (incoming) {
        control->keep_remote_rtp(address, request->remote_port);
        return 1;
    }
    rtp_streamer_t* media = control->media();
    if (!media) {
        VXL_LOG(LOG_ERROR, "Unable to enable RTP streamer because m_rtp_streamer is NULL");
        return 0;
    }
    control->handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
    bool flagged = false;
    if (media->enable_rtp_streamer(address, request->remote_port, &flagged) == 0) {
        control->set_voice_path_active();
        control->handle_call_progress_event(CPE_ANSWERED);
        return 1;
    }
    if (flagged) {
        control->set_status(VXL_STATUS_MEDIA_FAILURE_FLAGGED, 0);
        control->handle_call_progress_event(CPE_STATUS);
    }
    VXL_LOG(LOG_ERROR, "Unable to enable RTP streamer.  Terminating call");
    control->owner()->Hangup();
    return 0;
}

int mgcp_callbacks::VCRelease(int) {
    call_control* control = find_call_control("VCRelease");
    if (!control) return 0;
    return control->onhook_action() == 0 ? 1 : 0;
}

int mgcp_callbacks::VCPlayTone(int, int tone) {
    call_control* control = find_call_control("VCPlayTone");
    if (!control) return 200;
    if (tone < VXL_TONE_NONE || tone > VXL_TONE_LOW_BALANCE_WARNING_TONE) {
        VXL_LOG(LOG_ERROR, "Unexpected tone type (%d)", tone);
        tone = VXL_TONE_NONE;
    }
    control->handle_call_progress_event(CPE_PLAY_TONE, tone);
    return 200;
}

void mgcp_callbacks::OnSuccessfulRSIPResponseReceived(int restart_method) {
    CTarnwickVXL* engine = gTarnwickVXL.load();
    call_control* control = find_call_control("OnSuccessfulRSIPResponseReceived");
    if (!control) return;
    VXL_LOG(LOG_ALWAYS, "Received successful RSIP %s (%d) response.",
            restart_method_name(restart_method), restart_method);
    // Outside the method lock: the NAT test may take 1.8 s.
    if (restart_method == MGCP_RESTART_RESTART) control->test_behind_nat();
    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    if (restart_method == MGCP_RESTART_RESTART) {
        control->handle_call_progress_event(CPE_CONNECTED);
    } else if (restart_method == MGCP_RESTART_GRACEFUL) {
        control->handle_call_progress_event(CPE_CALL_AGENT);
        engine->flags().logged_on = false;
        engine->flags().stop = true;
    }
}

void mgcp_callbacks::OnUnsuccessfulRSIPResponseReceived(int restart_method, int response_code) {
    CTarnwickVXL* engine = gTarnwickVXL.load();
    call_control* control = find_call_control("OnUnsuccessfulRSIPResponseReceived");
    if (!control) return;
    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    VXL_LOG(LOG_ALWAYS, "Received unsuccessful RSIP %s (%d) response, response_code=%d",
            restart_method_name(restart_method), restart_method, response_code);
    if (restart_method == MGCP_RESTART_GRACEFUL) {
        control->handle_call_progress_event(CPE_CALL_AGENT);
    } else {
        control->handle_call_progress_event(CPE_REJECTED);
        engine->flags().roll_over = true;
    }
    engine->flags().stop = true;
}

void mgcp_callbacks::OnNoResponse(int registration) {
    CTarnwickVXL* engine = gTarnwickVXL.load();
    call_control* control = find_call_control("OnNoResponse");
    if (!control) return;
    handle_lost_call_agent(engine, control, registration != 0);
}

void handle_lost_call_agent(CTarnwickVXL* engine, call_control* control, bool registration) {
    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    VXL_LOG(LOG_ALWAYS, "No response from MGCP message.  Disconnecting call");
    if (registration)
        engine->flags().roll_over = true;
    else
        control->handle_call_progress_event(CPE_LINK_DOWN);
    engine->flags().logged_on = false;
    engine->flags().stop = true;
}

int mgcp_callbacks::OnAuditCommandReceived() {
    call_control* control = find_call_control("OnAuditCommandReceived");
    if (!control) return 0;
    return control->in_call() || control->ringing() ? 1 : 0;
}

void mgcp_callbacks::OnAniDnisReceived(int, const char* calling, const char*) {
    call_control* control = find_call_control("OnAniDnisReceived");
    if (!control) return;
    if (control->in_call()) {
        VXL_LOG(LOG_INFO, "Received digits (%s) while call in progress.  Ignoring digits.",
                calling ? calling : "");
        return;
    }
    control->set_incoming_caller(calling ? calling : "");
    control->handle_call_progress_event(CPE_RINGING);
    if (rtp_streamer_t* media = control->media()) {
        const int32_t rc = media->open_sound_devices(false);
        if (rc != 0) {
            control->set_status(VXL_STATUS_SOUND_DEVICE_FAILED, rc);
            control->handle_call_progress_event(CPE_STATUS);
        }
    }
}

void mgcp_callbacks::OnSuccessfulOnhookResponseReceived() {
    call_control* control = find_call_control("OnSuccessfulOnhookResponseReceived");
    if (control) control->handle_call_progress_event(CPE_DISCONNECTED);
}

void mgcp_callbacks::OnTarnwickLdapStatusReceived(int, const char* status) {
    call_control* control = find_call_control("OnTarnwickLdapStatusReceived");
    if (!control) return;
    const char first = status ? status[0] : '\0';
    control->set_status(first == '1'   ? VXL_STATUS_LDAP_ONE
                        : first == '2' ? VXL_STATUS_LDAP_TWO
                                       : VXL_STATUS_LDAP_OTHER,
                        0);
    control->handle_call_progress_event(CPE_STATUS);
}

void mgcp_callbacks::OnUnsuccessfulExtensionResponseReceived() {
    call_control* control = find_call_control("OnUnsuccessfulExtensionResponseReceived");
    if (!control) return;
    control->set_status(VXL_STATUS_EXTENSION_REJECTED, 0);
    control->handle_call_progress_event(CPE_STATUS);
    control->owner()->LogoffFromCallAgent(1);
}

int mgcp_callbacks::GetInActiveCallState() {
    call_control* control = find_call_control("GetInActiveCallState");
    return control && control->in_call() ? 1 : 0;
}

}  // namespace voxline
