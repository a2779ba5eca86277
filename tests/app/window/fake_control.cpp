// A stand-in phone control for the window tests, loaded through
// $KESTREL_CONTROL like the real one. It keeps the properties it is given,
// records the methods called (a property never put reads "(never put)"), and obeys a few commands:
//   ExecuteCommand("state", "6")      fires ChangeQuillonState(6) at the sink
//   ExecuteCommand("last-ten", "a;b") sets what GetLastTenDialed answers
//   ExecuteCommand("calls")           the recorded method calls, one a line
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "kestrel/kestrel.h"

namespace {

char* copy_of(const std::string& text) {
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

std::string text_of(const char* text) {
    return text ? text : "";
}

class fake_control final : public IActiveXPhone {
  public:
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override {
        const uint32_t left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    int32_t PutProperty(int32_t dispid, const char* value) override {
        if (dispid < KESTREL_DISPID_MODE || dispid > KESTREL_DISPID_ENABLE_TWO_BUTTON)
            return KESTREL_S_FALSE;
        m_properties[dispid] = text_of(value);
        return KESTREL_S_OK;
    }
    int32_t GetProperty(int32_t dispid, char** value) override {
        if (dispid < KESTREL_DISPID_MODE || dispid > KESTREL_DISPID_ENABLE_TWO_BUTTON)
            return KESTREL_S_FALSE;
        const auto found = m_properties.find(dispid);
        *value = copy_of(found == m_properties.end() ? "(never put)" : found->second);
        return KESTREL_S_OK;
    }
    int32_t CallNumber(const char* number) override {
        return record("CallNumber " + text_of(number));
    }
    int32_t Hangup() override { return record("Hangup"); }
    int32_t ExecuteCommand(const char* command, const char* p1, const char*,
                           char** result) override {
        const std::string name = text_of(command);
        if (result) *result = nullptr;
        if (name == "state") {
            if (m_sink) m_sink->ChangeQuillonState(std::atoi(text_of(p1).c_str()), "", "");
        } else if (name == "last-ten") {
            m_last_ten = text_of(p1);
        } else if (name == "calls" && result) {
            *result = copy_of(m_calls);
        } else {
            return KESTREL_E_INVALIDARG;
        }
        return KESTREL_S_OK;
    }
    int32_t SetParameter(const char*, const char*) override { return KESTREL_S_OK; }
    int32_t GetParameter(const char*, char** value) override {
        *value = copy_of("");
        return KESTREL_S_OK;
    }
    int32_t GetLastTenDialed(char** text) override {
        *text = copy_of(m_last_ten);
        return KESTREL_S_OK;
    }
    int32_t DialNumber(const char* number) override {
        return record("DialNumber " + text_of(number));
    }
    int32_t UpdateCallManager() override {
        return record("UpdateCallManager " + m_properties[KESTREL_DISPID_CALL_MANAGER]);
    }
    int32_t Advise(IActiveXPhoneEvents* sink) override {
        m_sink = sink;
        return KESTREL_S_OK;
    }
    int32_t Unadvise() override {
        m_sink = nullptr;
        return KESTREL_S_OK;
    }
    int32_t LoadPropertyBag(const char*) override { return KESTREL_S_OK; }
    int32_t SavePropertyBag(char** bag) override {
        *bag = copy_of("");
        return KESTREL_S_OK;
    }
    int32_t IsDirty() override { return KESTREL_S_FALSE; }
    QWidget* Widget() override { return nullptr; }
    int32_t GetDiagnosticState(char** json) override {
        *json = copy_of("{}");
        return KESTREL_S_OK;
    }

  private:
    int32_t record(const std::string& call) {
        m_calls += call + "\n";
        return KESTREL_S_OK;
    }

    uint32_t m_refs = 1;
    IActiveXPhoneEvents* m_sink = nullptr;
    std::map<int32_t, std::string> m_properties;
    std::string m_last_ten;
    std::string m_calls;
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
