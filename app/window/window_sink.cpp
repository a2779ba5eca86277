#include "window_sink.h"

#include <cstdlib>

#include "tuning_wizard.h"

namespace dialdeck {

namespace {

int32_t empty_answer(char** out) {
    if (!out) return KESTREL_E_POINTER;
    *out = static_cast<char*>(std::calloc(1, 1));
    return *out ? KESTREL_S_OK : KESTREL_E_OUTOFMEMORY;
}

}  // namespace

int32_t window_sink::GetCurrentLoadPercentagesOfCallManagers(const char*, char** pszLoads) {
    return empty_answer(pszLoads);
}

int32_t window_sink::GetCallerIDNameFromNumber(const char*, char** pszName) {
    return empty_answer(pszName);
}

int32_t window_sink::ChangeQuillonState(int32_t nState, const char*, const char*) {
    if (m_on_state) m_on_state(nState);
    return KESTREL_S_OK;
}

int32_t window_sink::ExecuteJavaScriptCommand(const char*, char** pszResult) {
    if (pszResult) *pszResult = nullptr;
    return KESTREL_E_NOTIMPL;
}

int32_t window_sink::MicLevel(int32_t nLevel) {
    tuning_wizard_mic_level(nLevel);
    return KESTREL_S_OK;
}

}  // namespace dialdeck
