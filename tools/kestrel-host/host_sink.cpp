#include "host_sink.h"

#include <cstdlib>
#include <cstring>

#include "command_words.h"

namespace kestrel_host {

namespace {

constexpr char k_fail[] = "!fail";
constexpr int32_t k_failed = static_cast<int32_t>(0x80020009);  // the handler threw

std::string text_of(const char* text) {
    return text ? text : "";
}

}  // namespace

int32_t host_sink::answer(const char* event, const std::string& arguments, const std::string& text,
                          char** out) {
    const bool fail = text == k_fail;
    m_write(std::string("event ") + event + " [" + arguments + "," +
            (fail ? std::string("null") : json_string(text)) + "]");
    if (out) *out = nullptr;
    if (fail) return k_failed;
    if (!out) return KESTREL_E_POINTER;
    *out = static_cast<char*>(std::malloc(text.size() + 1));
    if (!*out) return KESTREL_E_OUTOFMEMORY;
    std::memcpy(*out, text.c_str(), text.size() + 1);
    return KESTREL_S_OK;
}

int32_t host_sink::GetCurrentLoadPercentagesOfCallManagers(const char* szCallManagers,
                                                           char** pszLoads) {
    // Without a reply the container has no loads to give.
    return answer("GetCurrentLoadPercentagesOfCallManagers", json_string(text_of(szCallManagers)),
                  m_has_loads ? m_loads : k_fail, pszLoads);
}

int32_t host_sink::GetCallerIDNameFromNumber(const char* szNumber, char** pszName) {
    const std::string number = text_of(szNumber);
    const auto found = m_names.find(number);
    return answer("GetCallerIDNameFromNumber", json_string(number),
                  found == m_names.end() ? number : found->second, pszName);
}

int32_t host_sink::ChangeQuillonState(int32_t nState, const char* szParameter1,
                                      const char* szParameter2) {
    m_write("event ChangeQuillonState [" + std::to_string(nState) + "," +
            json_string(text_of(szParameter1)) + "," + json_string(text_of(szParameter2)) + "]");
    return KESTREL_S_OK;
}

int32_t host_sink::WriteJavaConsoleMessage(int32_t nType, const char* szSource,
                                           const char* szMessage) {
    if (m_console)
        m_write("event WriteJavaConsoleMessage [" + std::to_string(nType) + "," +
                json_string(text_of(szSource)) + "," + json_string(text_of(szMessage)) + "]");
    return KESTREL_S_OK;
}

int32_t host_sink::OnRequestEdit(int32_t dispid) {
    m_write("event OnRequestEdit [" + std::to_string(dispid) + ",0]");
    return 0;
}

int32_t host_sink::OnChanged(int32_t dispid) {
    m_write("event OnChanged [" + std::to_string(dispid) + "]");
    return KESTREL_S_OK;
}

int32_t host_sink::ExecuteJavaScriptCommand(const char* szStatement, char** pszResult) {
    return answer("ExecuteJavaScriptCommand", json_string(text_of(szStatement)), "", pszResult);
}

int32_t host_sink::MicLevel(int32_t nLevel) {
    m_write("event MicLevel [" + std::to_string(nLevel) + "]");
    return KESTREL_S_OK;
}

}  // namespace kestrel_host
