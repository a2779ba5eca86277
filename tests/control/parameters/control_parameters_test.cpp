#include "parameters/control_parameters.h"

#include "control/control_test_log.h"
#include "parameters/number_parser.h"
#include "parameters/text_lists.h"

namespace voxline::test {
namespace {

using kestrel::control_parameters;

// The names whose bits make up ParametersToExpect, lowest first.
// clang-format off
const char* const CALL_MANAGER_NAMES[] = {
    "CallerIDNumber", "CallerIDName", "CallManager", "Port", "MGCPPort", "SampleSize",
    "AudioInputSampleSize", "JitterBufferSize", "JitterBufferThreshold", "IPPhoneNumber",
    "CASAccount", "CASPin", "VXLConfigFlags", "AuditEndpointTimeout", "Mode", "NATProxyAddress",
    "NATProxyPort", "ParametersToExpect"};
// clang-format on

TEST(ControlParameters, NamesMatchWithoutCaseAndRegistrationStopsAtNinety) {
    control_parameters p;
    p.SetParameterValue("casaccount", "1234");
    EXPECT_EQ(p.GetHTMLParameter("CASAccount"), "1234");
    EXPECT_EQ(p.GetHTMLParameter("BUTTONFONTS"), "Verdana");  // initial, not the default
    EXPECT_EQ(p.GetDefaultValue("ButtonFonts"), "Arial");

    // Registration stops at 90 entries, but an unknown name can still be set.
    const size_t registered = p.entries().size();
    EXPECT_EQ(registered, 48u);
    for (size_t i = registered; i < 90; ++i)
        p.RegisterParameter(0, ("Extra" + std::to_string(i)).c_str(), "d");
    p.RegisterParameter(0, "Ninety-first", "d");
    EXPECT_EQ(p.entries().size(), 90u);
    EXPECT_EQ(p.GetHTMLParameter("Ninety-first"), "");
    p.SetParameterValue("Ninety-first", "v");
    EXPECT_EQ(p.GetHTMLParameter("ninety-FIRST"), "v");
    EXPECT_EQ(p.GetDefaultValue("Ninety-first"), "");
}

TEST(ControlParameters, CompleteOnlyAfterAllEighteenNames) {
    // "Not Specified" counts as set; ParametersToExpect keeps the default mask.
    const auto value_for = [](std::string_view name) {
        return name == "ParametersToExpect" ? "0x7FFFF" : "Not Specified";
    };
    for (std::string_view missing : CALL_MANAGER_NAMES) {
        control_parameters p;
        const auto set = [&](std::string_view name) {
            return p.SetParameterValue(std::string(name), value_for(name)).became_complete;
        };
        for (std::string_view name : CALL_MANAGER_NAMES) EXPECT_FALSE(name != missing && set(name));
        EXPECT_TRUE(set(missing)) << missing;
    }
}

TEST(ControlParameters, ParametersToExpectNamesTheBitsToWaitFor) {
    control_parameters p;
    p.SetParameterValue("ParametersToExpect", "511");
    EXPECT_EQ(p.expected_mask(), 0x1FFu);
    // The first nine bits: CallerIDNumber .. JitterBufferThreshold.
    for (int i = 0; i < 8; ++i) p.SetParameterValue(CALL_MANAGER_NAMES[i], "5");
    EXPECT_FALSE(p.complete());
    EXPECT_TRUE(p.SetParameterValue("JitterBufferThreshold", "5").became_complete);
    EXPECT_TRUE(control_parameters().SetParameterValue("ParametersToExpect", "0").became_complete);
}

TEST(ControlParameters, ChangesAreLoggedOnceAndThePinMasked) {
    captured_log c;
    c.log.set_trace(true);
    control_parameters p(&c.log);
    p.SetParameterValue("Port", "Not Specified");  // unchanged, but its bit is set
    EXPECT_EQ(p.completed_mask() & 0x8, 0x8u);
    EXPECT_FALSE(c.has("Changing Parameter"));
    p.SetParameterValue("Port", "2427");
    EXPECT_TRUE(c.has("Changing Parameter 'Port' from 'Not Specified' to '2427'"));

    p.SetParameterValue("CASPin", "4711");
    p.SetParameterValue("caspin", "98");
    for (const char* clear : {"'4711'", "'98'", ", 4711)", ", 98)"}) EXPECT_FALSE(c.has(clear));
    EXPECT_TRUE(c.has("Entering function SetParameterValue(caspin, **)"));
    EXPECT_TRUE(c.has("Changing Parameter 'caspin' from '****' to '**'"));
    EXPECT_TRUE(c.has_console("Changing Parameter 'CASPin' from '*************' to '****'"));
}

TEST(ControlParameters, SettingsFollowTheirValues) {
    control_parameters p;
    kestrel::control_settings s;
    p.read_settings(s);
    // QOSSetting unset, the flags "Not Specified", the mode the initial one.
    EXPECT_EQ(std::tuple(s.tos, s.sort_call_managers, s.browser_mode, s.vocoder),
              std::tuple(20, true, true, 1));

    p.SetParameterValue("QOSSetting", "0");
    p.SetParameterValue("VXLConfigFlags", "0x44");
    p.SetParameterValue("Mode", "Voxline 723");
    const char* const flags[] = {"EnableTwoButton", "AllowSimultaneous", "EnablePrefix",
                                 "OverRideANI"};
    for (const char* flag : flags) p.SetParameterValue(flag, "TRUE");
    p.SetParameterValue("PrefixDigits", "(10) 10-");
    p.read_settings(s);
    EXPECT_EQ(std::tuple(s.tos, s.sort_call_managers, s.diag_at_start, s.trace, s.browser_mode,
                         s.vocoder, s.prefix_digits),
              std::tuple(0, false, true, true, false, 0, "1010"));
    EXPECT_TRUE(s.two_button && s.allow_simultaneous && s.enable_prefix && s.override_ani);

    for (const char* flag : flags) p.SetParameterValue(flag, "false");
    p.SetParameterValue("Mode", "Not Specified");
    p.read_settings(s);
    EXPECT_FALSE(s.two_button || s.allow_simultaneous || s.enable_prefix || s.override_ani);
    EXPECT_FALSE(s.browser_mode);  // "Not Specified" leaves the mode as it was
}

TEST(NumberParser, ReadsLikeTheControl) {
    // C's rules for the base; 99999999999 wraps in 32 bits.
    // clang-format off
    const std::pair<const char*, int32_t> rows[] = {
        {"  42", 42}, {"-7", -7}, {"0x1F", 31}, {"0X1f", 31}, {"010", 8}, {"12abc", 12},
        {"Not Specified", 0}, {"", 0}, {"09", 0}, {"4294967295", -1},
        {"-2147483648", INT32_MIN}, {"99999999999", 1215752191}};
    // clang-format on
    for (const auto& [text, value] : rows) EXPECT_EQ(kestrel::parse_int(text), value) << text;
    EXPECT_EQ(kestrel::parse_int("010", 10), 10);
    EXPECT_DOUBLE_EQ(kestrel::parse_number("12.25", 10, true), 12.25);
    EXPECT_DOUBLE_EQ(kestrel::parse_number("12.25", 10, false), 12.0);
}

TEST(MessageLists, WrongCountFallsBackToTheDefaultAndOnlyPercentOneIsFilled) {
    std::vector<std::string> list;
    EXPECT_EQ(kestrel::ConvertListToArray(list, "a|bb|c", "x|y|z"), 2u);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "bb", "c"}));
    EXPECT_EQ(kestrel::ConvertListToArray(list, "a|b", "x|yyyy|z"), 4u);
    EXPECT_EQ(list, (std::vector<std::string>{"x", "yyyy", "z"}));

    EXPECT_EQ(kestrel::fill_message("Call from %1 (%2%%)", "600"), "Call from 600 (%2%%)");
}

}  // namespace
}  // namespace voxline::test
