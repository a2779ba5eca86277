// The automation methods behind the keys: generic commands, typed numbers,
// the redial list, and the variable dump.
#include <strings.h>

#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "keys/key_mapping.h"
#include "keys/virtual_keys.h"
#include "phone/active_x_phone.h"

namespace kestrel {

namespace {

std::string text_of(const char* text) {
    return text ? std::string(text) : std::string();
}

bool is_command(const std::string& command, const char* name) {
    return strcasecmp(command.c_str(), name) == 0;
}

const char* yes_no(bool value) {
    return value ? "true" : "false";
}

}  // namespace

int32_t active_x_phone::ExecuteCommand(const char* szCommand, const char* szParam1,
                                       const char* szParam2, char** pszRetVal) {
    if (m_closed) return KESTREL_E_FAIL;
    if (!pszRetVal) return KESTREL_E_POINTER;
    return return_text(
        ExecuteGenericCommand(text_of(szCommand), text_of(szParam1), text_of(szParam2)), pszRetVal);
}

std::string active_x_phone::ExecuteGenericCommand(const std::string& command, const std::string& p1,
                                                  const std::string& p2) {
    log().LogFormat(LOG_INFO, "ExecuteGenericCommand('%s', '%s', '%s')", command.c_str(),
                    p1.c_str(), p2.c_str());
    const auto key = [&]() -> int32_t {
        if (p2 == "TRUE") return static_cast<int32_t>(std::strtol(p1.c_str(), nullptr, 0));
        return p1.empty() ? -1 : key_scan_of_char(p1[0]);
    };
    if (is_command(command, "SetFocus")) {
        if (!m_widget) return "Failure, invalid window handle";
        m_widget->setFocus();
        return "OK";
    }
    if (is_command(command, "OnKeyDown") || is_command(command, "OnKeyUp") ||
        is_command(command, "OnChar")) {
        // A character no key types presses nothing.
        const int32_t k = key();
        if (k >= 0) {
            if (!is_command(command, "OnKeyUp")) OnKeyDown(k);
            if (!is_command(command, "OnKeyDown")) OnKeyUp(k);
        }
        return "OK";
    }
    if (is_command(command, "Beep")) {
        ITarnwickVXL* vxl = engine();
        if (!vxl) return "Failure, no Vocoder";
        int32_t in_out = 0;
        char buffer[1024] = {};
        vxl->GenericCommand(VXL_COMMAND_BEEP, 0, 0, p1.c_str(), p2.c_str(), &in_out, buffer);
        return "OK";
    }
    if (is_command(command, "CallNumber")) {
        CallNumber(p1.c_str());
        return "OK";
    }
    if (is_command(command, "Hangup")) {
        WriteJavaConsoleMessage(LOG_ALWAYS, DEFAULT_LOG_SOURCE,
                                "Hanging up call in Execute Generic Command");
        CVXLControl::Hangup();
        return "OK";
    }
    SetCustomMessage("Cmd(" + command + "," + p1 + "," + p2 + ")");
    InvalidateRect(control_area::display);
    return "Failure, command '" + command + "' unknown";
}

int32_t active_x_phone::GetLastTenDialed(char** pszLastTenDialed) {
    if (m_closed) return KESTREL_E_FAIL;
    return return_text(m_redial.last_ten(), pszLastTenDialed);
}

int32_t active_x_phone::DialNumber(const char* szNumberToCall) {
    if (m_closed) return KESTREL_E_FAIL;
    // Each character is typed as itself; characters no phone key bears are
    // skipped rather than pressing whatever key shares their code.
    for (const char c : text_of(szNumberToCall)) {
        const int index = key_index_of_char(c);
        if (index < 0) continue;
        PushButton(index, false);
        ReleaseButton(index, false);
        if (m_closed) break;
    }
    return KESTREL_S_OK;
}

void active_x_phone::DumpDebugVariables() {
    char line[1400];
    std::string dump;
    const auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        dump += line;
    };
    add(" m_dwCallManagerParametersCompleted = 0x%x\n", parameters().completed_mask());
    add(" m_csDisplayText                    = %s\n", display_text().substr(0, 256).c_str());
    add(" m_csCustomMessage                  = %s\n", custom_message().substr(0, 256).c_str());
    add(" m_nError                           = %d\n", error());
    add(" m_eCurCallManagerState             = %d\n", call_manager_state());
    add(" m_eCurCallState                    = %d\n", call_state());
    add(" m_bWaitingToConnect                = %s\n", yes_no(waiting_to_connect()));
    add(" m_bInitialSetupComplete            = %s\n", yes_no(initial_setup_complete()));
    add(" m_csLocalIP                        = %s\n", local_ip().c_str());
    add(" m_nAutoReconnectTimeout            = %d\n", reconnect_timeout());
    add(" m_csBackgroundDirectory            = %s\n", "");
    add(" m_csIncommingCallerIDName/Number   = %s / %s\n", "", "");
    add(" m_csOutgoingCallerIDName/Number    = %s / %s\n", "", "");
    WriteJavaConsoleMessage(LOG_ALWAYS, DEFAULT_LOG_SOURCE, dump);
}

}  // namespace kestrel
