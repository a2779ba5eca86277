// The four state variables of the control and what each change shows.
#include "parameters/text_lists.h"
#include "state/error_states.h"
#include "state/vxl_control.h"

namespace kestrel {

namespace {

constexpr int k_status_connecting = 1;
constexpr int k_status_idle = 2;
constexpr int k_misc_call_from = 1;
constexpr int k_misc_call_from_unknown = 2;
constexpr int k_misc_calling = 3;
constexpr int k_first_reconnect_ms = 5000;
constexpr int k_reconnect_step_ms = 2000;
constexpr int k_reconnect_growth_limit_ms = 30000;

}  // namespace

void CVXLControl::SetCallState(int32_t state, const char* parameter) {
    function_trace trace(
        &m_log, call_text("SetCallState(%d, %s)", state, parameter != nullptr ? parameter : ""));
    if (state == m_eCurCallState) {
        return;
    }
    // Connected keeps showing who was being called or answered.
    int32_t display_state = state == CALLSTATE_CONNECTED ? m_eCurCallState : state;
    if (state == CALLSTATE_IDLE) {
        m_csIncommingCallerIDName.clear();
        m_csIncommingCallerIDNumber.clear();
        m_csOutgoingCallerIDName.clear();
        m_csOutgoingCallerIDNumber.clear();
    }
    m_eCurCallState = state;
    m_csCustomMessage.clear();
    SetErrorState(k_no_error);

    if (parameter != nullptr && m_bBrowserMode) {
        m_log.LogFormat(LOG_INFO, "Sent digits ANI (%s)", parameter);
        std::string number = dialable_digits(parameter);
        m_log.LogFormat(LOG_INFO, "Dialable digits ANI (%s)", number.c_str());
        if (state == CALLSTATE_INCOMING) {
            m_csIncommingCallerIDNumber = number;
            m_csIncommingCallerIDName = GetCallerIDNameFromNumber(number);
            const std::string& caller =
                m_csIncommingCallerIDName.empty() ? number : m_csIncommingCallerIDName;
            m_csCustomMessage =
                caller.empty()
                    ? entry(m_settings.misc_messages, k_misc_call_from_unknown)
                    : fill_message(entry(m_settings.misc_messages, k_misc_call_from), caller);
        } else if (state == CALLSTATE_DIALING) {
            m_csOutgoingCallerIDNumber = number;
            m_csOutgoingCallerIDName = GetCallerIDNameFromNumber(number);
            if (!m_csOutgoingCallerIDName.empty()) {
                m_csCustomMessage = fill_message(entry(m_settings.misc_messages, k_misc_calling),
                                                 m_csOutgoingCallerIDName);
            }
        }
    }
    InvalidateRect(control_area::display);
    InvalidateRect(control_area::status);
    InvalidateRect(control_area::button);

    std::string number;
    std::string name;
    switch (display_state) {
        case CALLSTATE_IDLE:
            // A call asked for before the log-on keeps its number until placed.
            if (!m_bWaitingToConnect) {
                m_csDisplayText.clear();
            }
            break;
        case CALLSTATE_DIALING:
        case CALLSTATE_BUSY:
        case CALLSTATE_INVALID_NUMBER:
            number = m_csOutgoingCallerIDNumber;
            name = m_csOutgoingCallerIDName;
            break;
        case CALLSTATE_INCOMING:
            number = m_csIncommingCallerIDNumber;
            name = m_csIncommingCallerIDName;
            break;
        default:
            break;
    }
    ChangeQuillonState(state, number, name);
    m_log.LogFormat(LOG_INFO,
                    "CallState changed to %d (%s,%s) new Status = %s, GetStatusMessage() = %s, "
                    "Button Message = %s",
                    state, number.c_str(), name.c_str(),
                    entry(m_settings.status_messages, state).c_str(), GetStatusMessage().c_str(),
                    GetButtonMessage().c_str());
}

void CVXLControl::SetCallManagerState(int32_t state, bool reconnect) {
    function_trace trace(&m_log, call_text("SetCallManagerState(%d, %d)", state, reconnect));
    m_eCurCallManagerState = state;
    InvalidateRect(control_area::whole);
    m_log.LogFormat(LOG_INFO, "CallManagerState changed to %d", state);
    if (state == CMSTATE_LOGGED_ON) {
        m_nAutoReconnectTimeout = k_first_reconnect_ms;
        if (m_eCurCallState == CALLSTATE_NO_SERVER || m_eCurCallState == CALLSTATE_CONNECTING) {
            SetCallState(CALLSTATE_IDLE);
        }
        if (m_bWaitingToConnect) {
            m_bWaitingToConnect = false;
            PostPlaceCall();
        }
    } else if (state == CMSTATE_LOGGING_ON) {
        SetCallState(CALLSTATE_CONNECTING);
    } else {
        SetCallState(CALLSTATE_NO_SERVER);
        if (state == CMSTATE_DISCONNECTED && reconnect) {
            m_nAutoReconnectTimeout = k_first_reconnect_ms;
            WaitToAutoReconnect();
        }
    }
}

void CVXLControl::SetLDAPState(int32_t state) {
    if (!m_bBrowserMode || state == m_eCurLDAPState) {
        return;
    }
    m_log.LogFormat(LOG_INFO, "CurLDAPState changed to %d", state);
    m_eCurLDAPState = state;
    InvalidateRect(control_area::status);
}

void CVXLControl::SetErrorState(int32_t error) {
    if (error == m_nError) {
        return;
    }
    error_kind next = error_kind_of(error);
    const char* soft = next.soft ? " (softError)" : "";
    if (error >= 0 && static_cast<size_t>(error) < m_settings.error_messages.size()) {
        m_log.LogFormat(LOG_ERROR, "SetErrorState(%d(%s)) called. Previous error state = %d%s",
                        error, entry(m_settings.error_messages, error).c_str(), m_nError, soft);
    } else {
        m_log.LogFormat(LOG_ERROR, "SetErrorState(%d) called. Previous error state = %d%s", error,
                        m_nError, soft);
    }
    if (error != k_no_error) {
        if (error_kind_of(m_nError).priority >= next.priority) {
            return;
        }
        if (next.chat) {
            ExecuteJavaScriptCommand("InitialChatSession()");
        }
    }
    m_nError = error;
    InvalidateRect(control_area::status);
    if (next.soft) {
        m_timers->set_timer(SOFT_ERROR_TIMER, m_nSoftErrorTimeout);
    } else {
        m_timers->kill_timer(SOFT_ERROR_TIMER);
    }
}

int32_t CVXLControl::TranslateErrorCode(int32_t hr, const char* name) {
    if (hr >= 0) {
        return k_no_error;
    }
    int index = error_index_for_result(hr);
    m_log.LogFormat(LOG_ERROR, "m_pVXL->%s returned 0x%x. TranslateErrorCode(0x%x) returning %d",
                    name, static_cast<unsigned>(hr), static_cast<unsigned>(hr), index);
    return index;
}

std::string CVXLControl::GetStatusMessage() const {
    const auto& errors = m_settings.error_messages;
    const auto& statuses = m_settings.status_messages;
    if (m_eCurLDAPState == 3 || m_eCurLDAPState == 4) {
        return entry(errors, k_error_account_in_use);
    }
    if (m_nError != k_no_error) {
        return entry(errors, m_nError);
    }
    if (m_eCurCallManagerState == CMSTATE_LOGGING_ON) {
        return entry(statuses, k_status_connecting);
    }
    if (m_eCurCallManagerState != CMSTATE_LOGGED_ON) {
        return entry(errors,
                     m_bCallAgentRejected ? k_error_server_refused : k_error_no_server_connection);
    }
    if (m_eCurCallState != CALLSTATE_IDLE) {
        return entry(statuses, m_eCurCallState);
    }
    switch (m_eCurLDAPState) {
        case 0:
        case 1:
            return entry(statuses, k_status_idle);
        case 2:
            return entry(errors, 15);
        default:
            return "Error in LDAP State!";
    }
}

std::string CVXLControl::GetButtonMessage() const {
    return entry(m_settings.button_messages, button_entry_of(m_eCurCallState));
}

void CVXLControl::OnTimer(int id) {
    function_trace trace(&m_log, call_text("OnTimer(%d)", id));
    if (m_destroyed) {
        return;
    }
    if (id == RECONNECT_TIMER) {
        m_timers->kill_timer(RECONNECT_TIMER);
        if (m_eCurCallManagerState != CMSTATE_LOGGED_ON &&
            m_eCurCallManagerState != CMSTATE_LOGGING_ON) {
            ConfigureCallManager();
        }
    } else if (id == SOFT_ERROR_TIMER) {
        m_timers->kill_timer(SOFT_ERROR_TIMER);
        if (error_kind_of(m_nError).soft) {
            SetErrorState(k_no_error);
        }
    }
}

void CVXLControl::WaitToAutoReconnect() {
    m_log.LogFormat(LOG_INFO, "Waiting %d seconds to call ConfigureCallManager again",
                    m_nAutoReconnectTimeout / 1000);
    m_timers->set_timer(RECONNECT_TIMER, m_nAutoReconnectTimeout);
    if (m_nAutoReconnectTimeout < k_reconnect_growth_limit_ms) {
        m_nAutoReconnectTimeout += k_reconnect_step_ms;
    }
}

}  // namespace kestrel
