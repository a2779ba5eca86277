// The window and tuning tests' phone control, loaded through $KESTREL_CONTROL
// or linked in: keeps its properties ("(never put)" for the others), records
// the calls, and ExecuteCommand "state" fires a state, "last-ten" sets the
// dialled list, "mic-answer" what StartMicLevel answers, "calls" the calls.
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "kestrel/kestrel.h"

namespace {

int32_t answer(char** out, const std::string& text) {
    *out = static_cast<char*>(std::malloc(text.size() + 1));
    if (*out) std::memcpy(*out, text.c_str(), text.size() + 1);
    return KESTREL_S_OK;
}

std::string text_of(const char* text) {
    return text ? text : "";
}

class fake_control final : public IActiveXPhone {
  public:
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override {
        if (--m_refs == 0) delete this;
        return 0;
    }
    int32_t PutProperty(int32_t dispid, const char* value) override {
        m_properties[dispid] = text_of(value);
        return KESTREL_S_OK;
    }
    int32_t GetProperty(int32_t dispid, char** value) override {
        const auto found = m_properties.find(dispid);
        return answer(value, found == m_properties.end() ? "(never put)" : found->second);
    }
    int32_t CallNumber(const char* number) override { return record("CallNumber ", number); }
    int32_t Hangup() override { return record("Hangup", ""); }
    int32_t ExecuteCommand(const char* command, const char* p1, const char*,
                           char** result) override {
        const std::string name = text_of(command);
        if (result) *result = nullptr;
        if (name == "state" && m_sink) m_sink->ChangeQuillonState(std::atoi(p1), "", "");
        if (name == "last-ten") m_last_ten = text_of(p1);
        if (name == "mic-answer") m_mic_answer = std::atoi(p1);
        if (name == "calls" && result) answer(result, m_calls);
        return KESTREL_S_OK;
    }
    int32_t SetParameter(const char*, const char*) override { return KESTREL_S_OK; }
    int32_t GetParameter(const char*, char** value) override { return answer(value, ""); }
    int32_t GetLastTenDialed(char** text) override { return answer(text, m_last_ten); }
    int32_t DialNumber(const char* number) override { return record("DialNumber ", number); }
    int32_t UpdateCallManager() override {
        return record("UpdateCallManager ", m_properties[KESTREL_DISPID_CALL_MANAGER].c_str());
    }
    int32_t Advise(IActiveXPhoneEvents* sink) override { return (m_sink = sink, KESTREL_S_OK); }
    int32_t Unadvise() override { return Advise(nullptr); }
    int32_t LoadPropertyBag(const char*) override { return KESTREL_S_OK; }
    int32_t SavePropertyBag(char** bag) override { return answer(bag, ""); }
    int32_t IsDirty() override { return KESTREL_S_FALSE; }
    QWidget* Widget() override { return nullptr; }
    int32_t GetDiagnosticState(char** json) override { return answer(json, "{}"); }
    int32_t StartMicLevel() override { return record("StartMicLevel", ""), m_mic_answer; }
    int32_t StopMicLevel() override { return record("StopMicLevel", ""); }

  private:
    int32_t record(const char* call, const char* argument) {
        m_calls += call + text_of(argument) + "\n";
        return KESTREL_S_OK;
    }

    uint32_t m_refs = 1;
    int32_t m_mic_answer = KESTREL_S_OK;
    IActiveXPhoneEvents* m_sink = nullptr;
    std::map<int32_t, std::string> m_properties;
    std::string m_last_ten, m_calls;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t KestrelCreateInstance(
    const char* class_name, IActiveXPhone** control) {
    if (!control) return KESTREL_E_POINTER;
    *control = nullptr;
    if (!class_name || std::strcmp(class_name, KESTREL_CLASS_DUAL) != 0)
        return KESTREL_E_CLASS_NOT_REGISTERED;
    *control = new fake_control;
    return KESTREL_S_OK;
}
