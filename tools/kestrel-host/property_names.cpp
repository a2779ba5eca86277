#include "property_names.h"

#include <strings.h>

#include <array>

namespace kestrel_host {

namespace {

// In dispid order from 2.
constexpr std::array<const char*, 48> k_names{"Mode",
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
                                              "EnableTwoButton"};

}  // namespace

int property_dispid(const std::string& name) {
    for (size_t i = 0; i < k_names.size(); ++i)
        if (strcasecmp(name.c_str(), k_names[i]) == 0) return static_cast<int>(i) + 2;
    return 0;
}

}  // namespace kestrel_host
