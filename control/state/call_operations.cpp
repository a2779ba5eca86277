// Placing, answering and ending calls, and the end of the control.
#include "parameters/text_lists.h"
#include "state/error_states.h"
#include "state/event_mailbox.h"
#include "state/vxl_control.h"

namespace kestrel {

namespace {

constexpr char k_console_source[] = "ActiveX Control";
constexpr int k_error_invalid_state = 3;

}  // namespace

int32_t CVXLControl::PlaceCall() {
    function_trace trace(&m_log, call_text("PlaceCall()"));
    if (m_eCurCallManagerState == CMSTATE_LOGGING_ON) {
        m_bWaitingToConnect = true;
        return VXL_E_FAIL;
    }
    if (m_eCurCallManagerState != CMSTATE_LOGGED_ON) {
        m_bWaitingToConnect = true;
        return ConfigureCallManager();
    }
    if (m_pVXL == nullptr) {
        return VXL_E_FAIL;
    }
    // The engine refuses a second call; going through with it would show
    // Idle while the first call goes on.
    if (m_eCurCallState != CALLSTATE_IDLE) {
        m_log.LogFormat(LOG_INFO, "PlaceCall() refused while the call state is %d",
                        m_eCurCallState);
        SetErrorState(k_error_invalid_state);
        return VXL_E_REQUEST_NOT_ALLOWED;
    }

    int32_t unused = 0;
    char unused_text[1024] = {};
    m_pVXL->GenericCommand(VXL_COMMAND_SET_ECHO_CANCELLER_DELAY, m_nEchoDelay, 0, "", "", &unused,
                           unused_text);

    std::string number;
    if (m_bBrowserMode) {
        number = m_csDisplayText;
        if (!number.empty()) {
            RecordDialledNumber(number);
        }
    } else {
        number = m_parameters.GetHTMLParameter("PhoneNumber");
    }
    number = dialable_digits(number);
    if (m_settings.enable_prefix) {
        number = m_settings.prefix_digits + number;
    }
    SetCallState(CALLSTATE_DIALING, number.c_str());
    int32_t hr = m_pVXL->Call(number.c_str());
    if (hr < 0) {
        SetCallState(CALLSTATE_IDLE);
        SetErrorState(TranslateErrorCode(hr, "Call"));
        m_csOutgoingCallerIDNumber.clear();
        m_csOutgoingCallerIDName.clear();
    }
    InvalidateRect(control_area::display);
    InvalidateRect(control_area::status);
    InvalidateRect(control_area::button);
    return hr;
}

int32_t CVXLControl::Hangup() {
    function_trace trace(&m_log, call_text("Hangup()"));
    if (m_pVXL == nullptr) {
        return VXL_E_FAIL;
    }
    WriteJavaConsoleMessage(LOG_ALWAYS, k_console_source, "Hanging up call in VXLControl");
    SetCallState(CALLSTATE_DISCONNECTING);
    int32_t hr = m_pVXL->Hangup();
    m_csDisplayText.clear();

    if (m_bEndSessionOnHangup && m_bNotDestroying) {
        WriteJavaConsoleMessage(LOG_ALWAYS, k_console_source,
                                "The variable is true for killing the session.");
        ReleaseVocoder();
        DisconnectFromCallManager(0);
        ExecuteJavaScriptCommand("RedirectOnHangUp()");
        WriteJavaConsoleMessage(LOG_ALWAYS, k_console_source, "Returned from window.close()");
        CloseParentWindow();
        return VXL_S_OK;
    }
    if (hr == VXL_S_NOTHING_TO_DO) {
        SetCallState(CALLSTATE_IDLE);
        return VXL_S_OK;
    }
    if (hr < 0) {
        TranslateErrorCode(hr, "Hangup");
        SetCallState(CALLSTATE_CONNECTED);
    }
    return hr;
}

int32_t CVXLControl::AnswerRingingCall() {
    function_trace trace(&m_log, call_text("AnswerRingingCall()"));
    if (m_pVXL == nullptr) {
        return VXL_E_FAIL;
    }
    SetCallState(CALLSTATE_ANSWERING);
    int32_t hr = m_pVXL->Answer();
    if (hr == VXL_S_NOTHING_TO_DO) {
        SetCallState(CALLSTATE_IDLE);
        return VXL_S_OK;
    }
    if (hr < 0) {
        TranslateErrorCode(hr, "Answer");
        SetCallState(CALLSTATE_INCOMING);
    }
    return hr;
}

void CVXLControl::Destroy() {
    if (m_destroyed) {
        return;
    }
    m_bNotDestroying = false;
    m_log.LogMessage(LOG_INFO, "CVXLControl::Destroy() called. Hanging up call.");
    Hangup();
    m_log.LogMessage(LOG_INFO, "CVXLControl::Destroy() called. Call hungup, releasing Codec.");
    ReleaseVocoder();
    m_log.LogMessage(LOG_ALWAYS, "CVXLControl::Destroy() called. Codec Released.");
    m_destroyed = true;
    m_timers->kill_timer(RECONNECT_TIMER);
    m_timers->kill_timer(SOFT_ERROR_TIMER);
    // Events still queued for this control are dropped.
    m_mailbox->close();
}

}  // namespace kestrel
