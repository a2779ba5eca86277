// What each engine event does once it reached the GUI thread.
#include <array>

#include "state/error_states.h"
#include "state/tone_answers.h"
#include "state/vxl_control.h"

namespace kestrel {

namespace {

constexpr int k_misc_device_in_use_title = 9;
constexpr int k_misc_device_in_use_text = 10;

}  // namespace

void CVXLControl::OnSinkEvent(const sink_event& event) {
    if (m_destroyed || m_sink_generation == 0 || event.generation != m_sink_generation) {
        return;
    }
    using handler = void (*)(CVXLControl&, const sink_event&);
    struct event_row {
        sink_event_kind kind;
        handler handle;
    };
    static const std::array<event_row, 10> k_events = {{
        {sink_event_kind::connected,
         [](CVXLControl& c, const sink_event&) {
             function_trace trace(&c.m_log, c.call_text("ConnectedToCallAgent()"));
             c.m_log.LogMessage(LOG_INFO, "ConnectedToCallAgent() called.");
             c.SetCallManagerState(CMSTATE_LOGGED_ON, true);
         }},
        {sink_event_kind::rejected,
         [](CVXLControl& c, const sink_event&) {
             function_trace trace(&c.m_log, c.call_text("CallAgentRejectedConnection()"));
             c.m_log.LogMessage(LOG_INFO, "CallAgentRejectedConnection() called.");
             c.m_bCallAgentRejected = true;
             c.InvalidateRect(control_area::status);
         }},
        {sink_event_kind::rollover,
         [](CVXLControl& c, const sink_event& e) {
             function_trace trace(&c.m_log, c.call_text("CallAgentRollover(%s)", e.text.c_str()));
             c.m_log.LogMessage(LOG_INFO, "CallAgentRollover() called.");
             c.m_bCallAgentRejected = false;
             c.m_csCurrentCallManager = e.text;
             c.InvalidateRect(control_area::status);
         }},
        {sink_event_kind::tone,
         [](CVXLControl& c, const sink_event& e) {
             function_trace trace(&c.m_log, c.call_text("PlayTone(%d)", e.value));
             c.m_log.LogFormat(LOG_INFO, "PlayTone(%d) called.", e.value);
             c.tone_event(e.value);
         }},
        {sink_event_kind::ringing,
         [](CVXLControl& c, const sink_event& e) {
             function_trace trace(&c.m_log, c.call_text("Ringing(%s)", e.text.c_str()));
             c.m_log.LogFormat(LOG_INFO, "Ringing(%s) called.", e.text.c_str());
             c.SetCallState(CALLSTATE_INCOMING, e.text.c_str());
         }},
        {sink_event_kind::answered,
         [](CVXLControl& c, const sink_event&) {
             function_trace trace(&c.m_log, c.call_text("Answered()"));
             c.m_log.LogMessage(LOG_INFO, "Answered() called.");
             c.SetCallState(CALLSTATE_CONNECTED);
         }},
        {sink_event_kind::disconnected,
         [](CVXLControl& c, const sink_event& e) {
             function_trace trace(&c.m_log, c.call_text("Disconnected(%d)", e.value));
             c.m_log.LogFormat(LOG_INFO, "Disconnected(%d) called.", e.value);
             c.disconnected_event(e.value);
         }},
        {sink_event_kind::status,
         [](CVXLControl& c, const sink_event& e) {
             function_trace trace(&c.m_log, c.call_text("Status(%d, %d)", e.value, e.parameter));
             c.m_log.LogFormat(LOG_INFO, "Status(%d, %d) called.", e.value, e.parameter);
             c.CallBackStatus(e.value, e.parameter);
         }},
        {sink_event_kind::message,
         [](CVXLControl& c, const sink_event& e) { c.m_log.LogMessage(e.value, e.text); }},
        {sink_event_kind::generic,
         [](CVXLControl& c, const sink_event& e) {
             function_trace trace(&c.m_log,
                                  c.call_text("GenericEvent(%d, %d)", e.value, e.parameter));
             c.generic_event(e.value, e.parameter);
         }},
    }};
    for (const auto& row : k_events) {
        if (row.kind == event.kind) {
            row.handle(*this, event);
            return;
        }
    }
}

void CVXLControl::tone_event(int32_t tone) {
    switch (tone_answer_of(tone).action) {
        case tone_action::number_busy:
            SetCallState(CALLSTATE_BUSY);
            break;
        case tone_action::invalid_number:
            SetCallState(CALLSTATE_INVALID_NUMBER);
            break;
        case tone_action::balance_low:
            SetErrorState(k_error_balance_low);
            break;
        case tone_action::none:
            break;
    }
}

void CVXLControl::disconnected_event(int32_t reason) {
    switch (reason) {
        case VXL_DISCONNECT_NORMAL:
            SetCallState(CALLSTATE_IDLE);
            break;
        case VXL_DISCONNECT_LINK_DOWN:
        case VXL_DISCONNECT_CALL_AGENT:
            SetCallManagerState(CMSTATE_DISCONNECTED, true);
            break;
        default:
            break;
    }
}

void CVXLControl::generic_event(int32_t event, int32_t parameter) {
    if (event == VXL_EVENT_ECHO_DELAY) {
        m_nEchoDelay = parameter;
    } else if (event == VXL_EVENT_MIC_LEVEL) {
        MicLevelChanged(parameter);
    }
}

void CVXLControl::CallBackStatus(int32_t iStatus, int32_t iStatusParameter) {
    function_trace trace(&m_log, call_text("CallBackStatus(%d, %d)", iStatus, iStatusParameter));
    using handler = void (*)(CVXLControl&, int32_t status, int32_t parameter);
    struct status_row {
        int32_t status;
        handler handle;
    };
    static const std::array<status_row, 8> k_statuses = {{
        {1, [](CVXLControl& c, int32_t s, int32_t) { c.SetLDAPState(s); }},
        {2, [](CVXLControl& c, int32_t s, int32_t) { c.SetLDAPState(s); }},
        {3,
         [](CVXLControl& c, int32_t, int32_t) {
             c.SetCallManagerState(CMSTATE_DISCONNECTED, true);
             c.SetErrorState(k_error_account_in_use);
             c.SetLDAPState(3);
         }},
        {4, [](CVXLControl& c, int32_t s, int32_t) { c.SetLDAPState(s); }},
        {5, [](CVXLControl& c, int32_t, int32_t) { c.SetErrorState(k_error_invalid_billing); }},
        {6, [](CVXLControl& c, int32_t, int32_t p) { c.sound_device_failed(p); }},
        {7, [](CVXLControl& c, int32_t, int32_t) { c.SetErrorState(k_error_no_udp_port); }},
        {8, [](CVXLControl& c, int32_t, int32_t) { c.SetErrorState(k_error_no_proxy); }},
    }};
    for (const auto& row : k_statuses) {
        if (row.status == iStatus) {
            row.handle(*this, iStatus, iStatusParameter);
            return;
        }
    }
}

void CVXLControl::sound_device_failed(int32_t result) {
    if (m_eCurCallState == CALLSTATE_DIALING) {
        SetCallState(CALLSTATE_IDLE);
    } else if (m_eCurCallState == CALLSTATE_ANSWERING) {
        SetCallState(CALLSTATE_INCOMING);
    }
    SetErrorState(TranslateErrorCode(result, "CallBackStatus"));
    if ((result == VXL_E_SOUND_INPUT_IN_USE || result == VXL_E_SOUND_OUTPUT_IN_USE) &&
        m_eCurCallState == CALLSTATE_INCOMING) {
        ShowAudioDeviceInUseDialog(entry(m_settings.misc_messages, k_misc_device_in_use_title),
                                   entry(m_settings.misc_messages, k_misc_device_in_use_text),
                                   m_dialog_settings.button);
    }
}

}  // namespace kestrel
