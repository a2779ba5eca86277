#include "phone_control.h"

#include <cstdlib>

#include "kestrel/kestrel_properties.h"

namespace dialdeck {

using kestrel::property_dispid;

namespace {

std::string take_text(char* text) {
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

}  // namespace

phone_control::~phone_control() {
    if (m_control) {
        m_control->Unadvise();
        m_control->Release();
    }
}

bool phone_control::put(std::string_view name, const std::string& value) {
    const int dispid = property_dispid(name);
    return dispid != 0 && m_control->PutProperty(dispid, value.c_str()) == KESTREL_S_OK;
}

std::string phone_control::get(std::string_view name) const {
    const int dispid = property_dispid(name);
    char* text = nullptr;
    if (dispid == 0 || m_control->GetProperty(dispid, &text) != KESTREL_S_OK) {
        std::free(text);
        return {};
    }
    return take_text(text);
}

void phone_control::call_number(const std::string& number) {
    m_control->CallNumber(number.c_str());
}

void phone_control::dial_number(const std::string& digits) {
    m_control->DialNumber(digits.c_str());
}

void phone_control::update_call_manager() {
    m_control->UpdateCallManager();
}

std::string phone_control::last_ten_dialed() const {
    char* text = nullptr;
    if (m_control->GetLastTenDialed(&text) != KESTREL_S_OK) {
        std::free(text);
        return {};
    }
    return take_text(text);
}

}  // namespace dialdeck
