#include "parameters/control_parameters.h"

#include <array>
#include <utility>

#include "log/control_log.h"
#include "parameters/number_parser.h"
#include "parameters/parameter_defaults.h"
#include "parameters/text_lists.h"

namespace kestrel {

namespace {

struct registration {
    int32_t dispid;
    const char* name;
    const char* default_value;
    const char* initial;  // null: the default
};

constexpr const char* NS = NOT_SPECIFIED;

// Registration order decides the table order (and the property-bag order).
constexpr std::array<registration, PROPERTY_COUNT> REGISTRATIONS{{
    {2, "Mode", NS, nullptr},
    {3, "PhoneNumber", "0", nullptr},
    {4, "CallManager", NS, nullptr},
    {5, "CallerIDName", NS, nullptr},
    {6, "CallerIDNumber", NS, nullptr},
    {7, "Port", NS, nullptr},
    {8, "MGCPPort", NS, nullptr},
    {9, "SampleSize", NS, nullptr},
    {10, "AudioInputSampleSize", NS, nullptr},
    {11, "AudioOutputSampleSize", "10", nullptr},
    {12, "AudioOutputBufPoolSize", "300", nullptr},
    {13, "AudioOutputQueueSize", "150", nullptr},
    {14, "JitterBufferSize", NS, nullptr},
    {15, "JitterBufferThreshold", NS, nullptr},
    {16, "IPPhoneNumber", NS, nullptr},
    {17, "CASAccount", NS, nullptr},
    {18, "CASPin", NS, nullptr},
    {19, "VXLConfigFlags", NS, nullptr},
    {20, "AuditEndpointTimeout", NS, nullptr},
    {21, "NATProxyAddress", NS, nullptr},
    {22, "NATProxyPort", NS, nullptr},
    {23, "ParametersToExpect", NS, nullptr},
    {43, "AllowSimultaneous", "false", nullptr},
    {44, "EnablePrefix", "false", nullptr},
    {45, "PrefixDigits", NS, nullptr},
    {46, "OverRideANI", "false", nullptr},
    {47, "ANIDigits", NS, nullptr},
    {48, "QOSSetting", "0", nullptr},
    {49, "EnableTwoButton", "false", nullptr},
    {24, "BackgroundBMP", "Dialdeck_bg.bmp", "Voxline_bg.bmp"},
    {25, "BackgroundDownBMP", "Dialdeck_dn.bmp", "Voxline_dn.bmp"},
    {26, "StatusMessages", DEFAULT_STATUS_MESSAGES, nullptr},
    {27, "ButtonMessages", DEFAULT_BUTTON_MESSAGES, nullptr},
    {28, "ErrorMessages", DEFAULT_ERROR_MESSAGES, nullptr},
    {29, "MiscMessages", DEFAULT_MISC_MESSAGES, nullptr},
    {30, "StatusTextColor", "#000000", "#FFFF00"},
    {31, "DisplayTextColor", "#000000", nullptr},
    {32, "ButtonTextColor", "#000000", "#FFFFFF"},
    {33, "FlashColor", "#00CCCC", nullptr},
    {34, "StatusFonts", "Arial", nullptr},
    {35, "DisplayFonts", "Arial", nullptr},
    {36, "ButtonFonts", "Arial", "Verdana"},
    {37, "CodePage", "1252", nullptr},
    {38, "Layout", LAYOUT_A, LAYOUT_B},
    {39, "SliderOrientation", "Horizontal", nullptr},
    {40, "SliderBodyColor", "#9999CC", nullptr},
    {41, "SliderHiLiteColor", "#E6E6E6", nullptr},
    {42, "SliderShadowColor", "#666666", nullptr},
}};

struct completeness {
    const char* name;
    uint32_t bit;
};

constexpr std::array<completeness, 20> COMPLETENESS_BITS{{
    {"CallerIDNumber", 0x1},
    {"CallerIDName", 0x2},
    {"CallManager", 0x4},
    {"Port", 0x8},
    {"MGCPPort", 0x10},
    {"SampleSize", 0x20},
    {"AudioInputSampleSize", 0x40},
    {"JitterBufferSize", 0x80},
    {"JitterBufferThreshold", 0x100},
    {"IPPhoneNumber", 0x200},
    {"CASAccount", 0x400},
    {"CASPin", 0x800},
    {"VXLConfigFlags", 0x1000},
    {"AuditEndpointTimeout", 0x2000},
    {"EndpointID", 0x4000},
    {"Mode", 0x8000},
    {"NATProxyAddress", 0x10000},
    {"NATProxyPort", 0x20000},
    {"ParametersToExpect", 0x40000},
    {"", 0},
}};

bool is_true(std::string_view value) {
    return equals_ignoring_case(value, "true");
}

}  // namespace

uint32_t completeness_bit(std::string_view name) {
    for (const auto& c : COMPLETENESS_BITS)
        if (c.bit && equals_ignoring_case(name, c.name)) return c.bit;
    return 0;
}

control_parameters::control_parameters(control_log* log) : m_log(log) {
    for (const auto& r : REGISTRATIONS)
        RegisterParameter(r.dispid, r.name, r.default_value, r.initial);
}

void control_parameters::RegisterParameter(int32_t dispid, const char* name,
                                           const char* default_value, const char* initial) {
    if (m_entries.size() >= MAX_PARAMETERS || !name) return;
    entry e;
    e.name = name;
    e.default_value = default_value ? default_value : "";
    e.value = initial ? initial : e.default_value;
    e.dispid = dispid;
    m_entries.push_back(std::move(e));
}

const control_parameters::entry* control_parameters::find(std::string_view name) const {
    for (const auto& e : m_entries)
        if (equals_ignoring_case(e.name, name)) return &e;
    return nullptr;
}

control_parameters::entry* control_parameters::find(std::string_view name) {
    return const_cast<entry*>(std::as_const(*this).find(name));
}

std::string control_parameters::loggable_value(std::string_view name, std::string_view value) {
    if (equals_ignoring_case(name, "CASPin")) return std::string(value.size(), '*');
    return std::string(value);
}

set_outcome control_parameters::SetParameterValue(std::string_view name, std::string_view value) {
    function_trace trace(
        m_log, "SetParameterValue(" + std::string(name) + ", " + loggable_value(name, value) + ")");
    set_outcome outcome;
    outcome.was_complete = complete();

    entry* e = find(name);
    const std::string old_value = e ? e->value : std::string();
    if (old_value != value) {
        if (m_log)
            m_log->LogFormat(LOG_INFO, "Changing Parameter '%s' from '%s' to '%s'",
                             std::string(name).c_str(), loggable_value(name, old_value).c_str(),
                             loggable_value(name, value).c_str());
        if (e) {
            e->value = value;
        } else {
            // A new name is kept but has no default and no property.
            entry added;
            added.name = name;
            added.value = value;
            m_entries.push_back(std::move(added));
        }
        outcome.changed = true;
    }
    if (equals_ignoring_case(name, "QOSSetting")) m_qos_set = true;

    if (m_log) m_log->LogMessage(LOG_ALWAYS, "ParametersToExpect Check");
    if (equals_ignoring_case(name, "ParametersToExpect"))
        m_expected = static_cast<uint32_t>(parse_int(value));

    if (!outcome.was_complete) {
        if (m_log) m_log->LogMessage(LOG_ALWAYS, "Parameter Completeness Mask Check");
        m_completed |= completeness_bit(name);
        outcome.became_complete = complete();
    }
    return outcome;
}

std::string control_parameters::GetHTMLParameter(std::string_view name) const {
    const entry* e = find(name);
    return e ? e->value : std::string();
}

int32_t control_parameters::GetHTMLParameterAsInt(std::string_view name) const {
    return parse_int(GetHTMLParameter(name));
}

std::string control_parameters::GetDefaultValue(std::string_view name) const {
    const entry* e = find(name);
    return e ? e->default_value : std::string();
}

const char* control_parameters::property_name(int32_t dispid) {
    for (const auto& r : REGISTRATIONS)
        if (r.dispid == dispid) return r.name;
    return nullptr;
}

int32_t control_parameters::property_dispid(std::string_view name) const {
    const entry* e = find(name);
    return e ? e->dispid : 0;
}

void control_parameters::read_settings(control_settings& s) const {
    const std::string mode = lower(GetHTMLParameter("Mode"));
    if (mode.find("voxline") != std::string::npos)
        s.browser_mode = false;
    else if (mode != "not specified")
        s.browser_mode = true;
    s.vocoder = mode.find("723") != std::string::npos ? 0 : 1;

    const std::string flags = GetHTMLParameter("VXLConfigFlags");
    s.config_flags_specified = !equals_ignoring_case(flags, NOT_SPECIFIED);
    s.config_flags = parse_int(flags);
    s.diag_at_start = (s.config_flags & 4) != 0;
    s.sort_call_managers = !s.config_flags_specified || (s.config_flags & 2) != 0;
    s.trace = (s.config_flags & 0x40) != 0;

    s.two_button = is_true(GetHTMLParameter("EnableTwoButton"));
    s.allow_simultaneous = is_true(GetHTMLParameter("AllowSimultaneous"));
    s.enable_prefix = is_true(GetHTMLParameter("EnablePrefix"));
    s.override_ani = is_true(GetHTMLParameter("OverRideANI"));

    if (m_qos_set) {
        s.tos = GetHTMLParameterAsInt("QOSSetting");
        if (m_log)
            m_log->LogFormat(LOG_INFO, "TOS bits Setting (0x%X)", static_cast<unsigned>(s.tos));
    } else {
        s.tos = 20;
    }

    const std::string prefix = GetHTMLParameter("PrefixDigits");
    s.prefix_digits = dialable_digits(prefix);
    if (m_log) {
        m_log->console(LOG_ALWAYS, "EnablePrefix = " + GetHTMLParameter("EnablePrefix"));
        m_log->console(LOG_ALWAYS, "PrefixDigits = " + prefix);
    }

    s.code_page = GetHTMLParameterAsInt("CodePage");
    s.longest_status = ConvertListToArray(s.status_messages, GetHTMLParameter("StatusMessages"),
                                          DEFAULT_STATUS_MESSAGES);
    s.longest_button = ConvertListToArray(s.button_messages, GetHTMLParameter("ButtonMessages"),
                                          DEFAULT_BUTTON_MESSAGES);
    s.longest_error = ConvertListToArray(s.error_messages, GetHTMLParameter("ErrorMessages"),
                                         DEFAULT_ERROR_MESSAGES);
    ConvertListToArray(s.misc_messages, GetHTMLParameter("MiscMessages"), DEFAULT_MISC_MESSAGES);
}

}  // namespace kestrel
