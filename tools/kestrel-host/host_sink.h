// The container's event sink: reports each call as an "event" line and
// answers the asking events from the host's replies.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>

#include "kestrel/kestrel.h"

namespace kestrel_host {

class host_sink : public IActiveXPhoneEvents {
  public:
    using line_writer = std::function<void(const std::string&)>;

    explicit host_sink(line_writer write, bool console)
        : m_write(std::move(write)), m_console(console) {}

    // "!fail" makes the event fail.
    void set_loads(std::string loads) {
        m_loads = std::move(loads);
        m_has_loads = true;
    }
    void set_name(const std::string& number, std::string name) {
        m_names[number] = std::move(name);
    }

    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override { return --m_refs; }  // owned by the host

    int32_t GetCurrentLoadPercentagesOfCallManagers(const char* szCallManagers,
                                                    char** pszLoads) override;
    int32_t GetCallerIDNameFromNumber(const char* szNumber, char** pszName) override;
    int32_t ChangeQuillonState(int32_t nState, const char* szParameter1,
                               const char* szParameter2) override;
    int32_t WriteJavaConsoleMessage(int32_t nType, const char* szSource,
                                    const char* szMessage) override;
    int32_t OnRequestEdit(int32_t dispid) override;
    int32_t OnChanged(int32_t dispid) override;
    int32_t ExecuteJavaScriptCommand(const char* szStatement, char** pszResult) override;
    int32_t MicLevel(int32_t nLevel) override;

  private:
    // Answers text (or fails) and reports the event with the answer appended.
    int32_t answer(const char* event, const std::string& arguments, const std::string& text,
                   char** out);

    line_writer m_write;
    bool m_console;
    std::atomic<uint32_t> m_refs{1};
    std::string m_loads;
    bool m_has_loads = false;
    std::map<std::string, std::string> m_names;
};

}  // namespace kestrel_host
