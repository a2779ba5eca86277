// The control's property names in dispatch-id order, for programs that name
// properties in their own settings or commands.
#pragma once

#include <strings.h>

#include <array>
#include <string_view>

namespace kestrel {

// Dispatch ids 2..49.
inline constexpr std::array<std::string_view, 48> k_property_names{
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

// The dispatch id of a property name, any case; 0 for none.
inline int property_dispid(std::string_view name) {
    for (size_t i = 0; i < k_property_names.size(); ++i)
        if (name.size() == k_property_names[i].size() &&
            ::strncasecmp(name.data(), k_property_names[i].data(), name.size()) == 0)
            return static_cast<int>(i) + 2;
    return 0;
}

}  // namespace kestrel
