#include "phone_control.h"

#include <strings.h>

#include <array>
#include <cstdlib>

namespace dialdeck {

namespace {

// In dispatch-id order from 2.
constexpr std::array<std::string_view, 48> k_names{
    "Mode",
    "PhoneNumber",
    "CallManager",
    "CallerIDName",
    "CallerIDNumber",
    "Port",
    "MGCPPort",
    "SampleSize",
    "AudioInputSampleSize",
    "AudioOutputSampleSize",
    "AudioOutputBufPoolSize",
    "AudioOutputQueueSize",
    "JitterBufferSize",
    "JitterBufferThreshold",
    "IPPhoneNumber",
    "CASAccount",
    "CASPin",
    "VXLConfigFlags",
    "AuditEndpointTimeout",
    "NATProxyAddress",
    "NATProxyPort",
    "ParametersToExpect",
    "BackgroundBMP",
    "BackgroundDownBMP",
    "StatusMessages",
    "ButtonMessages",
    "ErrorMessages",
    "MiscMessages",
    "StatusTextColor",
    "DisplayTextColor",
    "ButtonTextColor",
    "FlashColor",
    "StatusFonts",
    "DisplayFonts",
    "ButtonFonts",
    "CodePage",
    "Layout",
    "SliderOrientation",
    "SliderBodyColor",
    "SliderHiLiteColor",
    "SliderShadowColor",
    "AllowSimultaneous",
    "EnablePrefix",
    "PrefixDigits",
    "OverRideANI",
    "ANIDigits",
    "QOSSetting",
    "EnableTwoButton",
};

std::string take_text(char* text) {
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

}  // namespace

int property_dispid(std::string_view name) {
    for (size_t i = 0; i < k_names.size(); ++i)
        if (name.size() == k_names[i].size() &&
            ::strncasecmp(name.data(), k_names[i].data(), name.size()) == 0)
            return static_cast<int>(i) + 2;
    return 0;
}

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
