// The settings file's sections and keys, in the order they are read at start-up.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dialdeck {

inline constexpr std::string_view k_section_dialdeck = "Dialdeck";
inline constexpr std::string_view k_section_phone = "Phone";
inline constexpr std::string_view k_section_ads = "Ads";

// Checked in this order at start-up; each must hold at least one key.
inline constexpr std::array<std::string_view, 3> k_required_sections = {
    k_section_dialdeck, k_section_phone, k_section_ads};

inline constexpr std::array<std::string_view, 26> k_dialdeck_keys = {
    "AboutDressing", "Advertisements", "ButtonDressing", "ContactsDressing", "Icon", "Idle",
    "LoginOptions", "LDAP", "Prefix", "State", "Timer", "URLAccount", "URLBalance", "URLRates",
    "URLUpdate", "UpdateEnable", "URLDownload", "WindowDressing", "PINHost", "PINFile", "PINEnable",
    "OwnerKey", "Flavor", "FlavorEnable", "CallDurationFormat",
    // A PEM file of further CAs for the HTTPS requests; empty: system CAs only.
    "CAFile"};

// Each value goes unchanged to the phone control property of the same name.
inline constexpr std::array<std::string_view, 45> k_phone_keys = {
    "Port",
    "SampleSize",
    "AllowSimultaneous",
    "ANIDigits",
    "AuditEndpointTimeout",
    "BackgroundBMP",
    "BackgroundDownBMP",
    "ButtonFonts",
    "ButtonMessages",
    "ButtonTextColor",
    "CallerIDName",
    "CallerIDNumber",
    "AudioInputSampleSize",
    "CallManager",
    "CASAccount",
    "CASPin",
    "CodePage",
    "DisplayFonts",
    "DisplayTextColor",
    "EnablePrefix",
    "ErrorMessages",
    "FlashColor",
    "IPPhoneNumber",
    "JitterBufferSize",
    "JitterBufferThreshold",
    "Layout",
    "MGCPPort",
    "MiscMessages",
    "Mode",
    "NATProxyAddress",
    "NATProxyPort",
    "OverRideANI",
    "ParametersToExpect",
    "PhoneNumber",
    "PrefixDigits",
    "QOSSetting",
    "SliderOrientation",
    "SliderBodyColor",
    "SliderHiLiteColor",
    "SliderShadowColor",
    "StatusFonts",
    "StatusMessages",
    "StatusTextColor",
    "VXLConfigFlags",
    "EnableTwoButton",
};

// Ad001 to Ad999: the advertisement entries, taken in name order.
inline constexpr int k_ads_key_count = 999;

inline std::string ad_key(int n) {
    const char digits[] = {char('0' + n / 100 % 10), char('0' + n / 10 % 10), char('0' + n % 10)};
    return "Ad" + std::string(digits, 3);
}

}  // namespace dialdeck
