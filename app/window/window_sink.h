// The window's side of the control's events: state changes go to the window
// once the control's call has returned; microphone levels go to the tuning
// wizard; the asking events get empty answers, edits are allowed and scripts
// fail, as no web page hosts this control.
#pragma once

#include <atomic>
#include <functional>

#include "kestrel/kestrel.h"

namespace dialdeck {

class window_sink : public IActiveXPhoneEvents {
  public:
    using state_handler = std::function<void(int state)>;
    explicit window_sink(state_handler on_state) : m_on_state(std::move(on_state)) {}

    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override { return --m_refs; }  // owned by the window

    int32_t GetCurrentLoadPercentagesOfCallManagers(const char*, char** pszLoads) override;
    int32_t GetCallerIDNameFromNumber(const char*, char** pszName) override;
    int32_t ChangeQuillonState(int32_t nState, const char*, const char*) override;
    int32_t WriteJavaConsoleMessage(int32_t, const char*, const char*) override {
        return KESTREL_S_OK;
    }
    int32_t OnRequestEdit(int32_t) override { return 0; }
    int32_t OnChanged(int32_t) override { return KESTREL_S_OK; }
    int32_t ExecuteJavaScriptCommand(const char*, char** pszResult) override;
    // For the tuning wizard's level bar.
    int32_t MicLevel(int32_t nLevel) override;

  private:
    state_handler m_on_state;
    std::atomic<uint32_t> m_refs{1};
};

}  // namespace dialdeck
