#include "parameters/control_parameters.h"

#include <gtest/gtest.h>

#include "control/control_test_log.h"
#include "parameters/number_parser.h"
#include "parameters/text_lists.h"

namespace voxline::test {
namespace {

using kestrel::control_parameters;

const char* const CALL_MANAGER_NAMES[] = {"CallerIDNumber",
                                          "CallerIDName",
                                          "CallManager",
                                          "Port",
                                          "MGCPPort",
                                          "SampleSize",
                                          "AudioInputSampleSize",
                                          "JitterBufferSize",
                                          "JitterBufferThreshold",
                                          "IPPhoneNumber",
                                          "CASAccount",
                                          "CASPin",
                                          "VXLConfigFlags",
                                          "AuditEndpointTimeout",
                                          "Mode",
                                          "NATProxyAddress",
                                          "NATProxyPort",
                                          "ParametersToExpect"};

TEST(ControlParameters, NamesMatchWithoutCaseAndUnknownNamesReadEmpty) {
    control_parameters p;
    p.SetParameterValue("casaccount", "1234");
    EXPECT_EQ(p.GetHTMLParameter("CASAccount"), "1234");
    EXPECT_EQ(p.GetHTMLParameter("BUTTONFONTS"), "Verdana");  // initial, not the default
    EXPECT_EQ(p.GetDefaultValue("ButtonFonts"), "Arial");
    EXPECT_EQ(p.GetHTMLParameter("NoSuchThing"), "");
    p.SetParameterValue("NoSuchThing", "x");
    EXPECT_EQ(p.GetHTMLParameter("nosuchthing"), "x");
    EXPECT_EQ(p.GetDefaultValue("NoSuchThing"), "");
}

// "Not Specified" counts as set; ParametersToExpect keeps the default mask.
const char* value_for(const char* name) {
    return std::string_view(name) == "ParametersToExpect" ? "0x7FFFF" : "Not Specified";
}

TEST(ControlParameters, CompleteOnlyAfterAllEighteenNames) {
    for (const char* missing : CALL_MANAGER_NAMES) {
        control_parameters p;
        bool completed_by_last = false;
        for (const char* name : CALL_MANAGER_NAMES) {
            if (name == missing) continue;
            completed_by_last = p.SetParameterValue(name, value_for(name)).became_complete;
        }
        EXPECT_FALSE(p.complete()) << "without " << missing;
        EXPECT_FALSE(completed_by_last);
        EXPECT_TRUE(p.SetParameterValue(missing, value_for(missing)).became_complete) << missing;
    }
}

TEST(ControlParameters, ParametersToExpectReadsHexDecimalAndZero) {
    struct row {
        const char* value;
        uint32_t expected;
    };
    for (const row r : {row{"0x1FF", 0x1FF}, row{"511", 0x1FF}, row{"0", 0}}) {
        control_parameters p;
        const auto outcome = p.SetParameterValue("ParametersToExpect", r.value);
        EXPECT_EQ(p.expected_mask(), r.expected) << r.value;
        if (r.expected == 0) {
            EXPECT_TRUE(outcome.became_complete);
            continue;
        }
        // The first nine bits: CallerIDNumber .. JitterBufferThreshold.
        for (int i = 0; i < 8; ++i) p.SetParameterValue(CALL_MANAGER_NAMES[i], "5");
        EXPECT_FALSE(p.complete()) << r.value;
        EXPECT_TRUE(p.SetParameterValue("JitterBufferThreshold", "5").became_complete);
    }
}

TEST(ControlParameters, UnchangedValueLogsNothingButSetsItsBit) {
    captured_log c;
    control_parameters p(&c.log);
    p.SetParameterValue("Port", "Not Specified");
    EXPECT_EQ(p.completed_mask() & 0x8, 0x8u);
    EXPECT_EQ(c.text().find("Changing Parameter"), std::string::npos);
    p.SetParameterValue("Port", "2427");
    EXPECT_NE(c.text().find("Changing Parameter 'Port' from 'Not Specified' to '2427'"),
              std::string::npos);
}

TEST(ControlParameters, PinIsMaskedInLogAndConsole) {
    captured_log c;
    c.log.set_trace(true);
    control_parameters p(&c.log);
    p.SetParameterValue("CASPin", "4711");
    p.SetParameterValue("caspin", "98");
    const std::string text = c.text();
    for (const char* clear : {"'4711'", "'98'", ", 4711)", ", 98)"})
        EXPECT_EQ(text.find(clear), std::string::npos) << clear;
    EXPECT_NE(text.find("Entering function SetParameterValue(caspin, **)"), std::string::npos);
    EXPECT_NE(text.find("Changing Parameter 'caspin' from '****' to '**'"), std::string::npos);
    EXPECT_TRUE(c.has_console("Changing Parameter 'CASPin' from '*************' to '****'"));
}

TEST(ControlParameters, RegistrationBeyondNinetyIsIgnoredButTheNameCanBeSet) {
    control_parameters p;
    const size_t registered = p.entries().size();
    EXPECT_EQ(registered, 48u);
    for (size_t i = registered; i < 90; ++i)
        p.RegisterParameter(0, ("Extra" + std::to_string(i)).c_str(), "d");
    p.RegisterParameter(0, "Ninety-first", "d");
    EXPECT_EQ(p.entries().size(), 90u);
    EXPECT_EQ(p.GetHTMLParameter("Ninety-first"), "");
    p.SetParameterValue("Ninety-first", "v");
    EXPECT_EQ(p.GetHTMLParameter("Ninety-first"), "v");
    EXPECT_EQ(p.GetDefaultValue("Ninety-first"), "");
}

TEST(ControlParameters, SettingsFollowTheirValues) {
    control_parameters p;
    kestrel::control_settings s;
    p.read_settings(s);
    EXPECT_EQ(s.tos, 20);               // until QOSSetting is set
    EXPECT_TRUE(s.sort_call_managers);  // flags "Not Specified"
    EXPECT_TRUE(s.browser_mode);
    EXPECT_EQ(s.vocoder, 1);

    p.SetParameterValue("QOSSetting", "0");
    p.SetParameterValue("VXLConfigFlags", "0x44");
    p.SetParameterValue("Mode", "Voxline 723");
    for (const char* flag : {"EnableTwoButton", "AllowSimultaneous", "EnablePrefix", "OverRideANI"})
        p.SetParameterValue(flag, "TRUE");
    p.SetParameterValue("PrefixDigits", "(10) 10-");
    p.read_settings(s);
    EXPECT_EQ(s.tos, 0);
    EXPECT_FALSE(s.sort_call_managers);
    EXPECT_TRUE(s.diag_at_start);
    EXPECT_TRUE(s.trace);
    EXPECT_FALSE(s.browser_mode);
    EXPECT_EQ(s.vocoder, 0);
    EXPECT_TRUE(s.two_button && s.allow_simultaneous && s.enable_prefix && s.override_ani);
    EXPECT_EQ(s.prefix_digits, "1010");

    for (const char* flag : {"EnableTwoButton", "AllowSimultaneous", "EnablePrefix", "OverRideANI"})
        p.SetParameterValue(flag, "false");
    p.SetParameterValue("Mode", "Not Specified");
    p.read_settings(s);
    EXPECT_FALSE(s.two_button || s.allow_simultaneous || s.enable_prefix || s.override_ani);
    EXPECT_FALSE(s.browser_mode);  // "Not Specified" leaves the mode as it was
}

TEST(NumberParser, ReadsLikeTheControl) {
    struct row {
        const char* text;
        int32_t value;
    };
    const row rows[] = {
        {"  42", 42},
        {"-7", -7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"010", 8},
        {"12abc", 12},
        {"Not Specified", 0},
        {"", 0},
        {"09", 0},
        {"4294967295", -1},
        {"-2147483648", INT32_MIN},
        {"99999999999", 1215752191},  // wraps in 32 bits
    };
    for (const row& r : rows) EXPECT_EQ(kestrel::parse_int(r.text), r.value) << r.text;
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

    control_parameters p;
    kestrel::control_settings s;
    p.SetParameterValue("ErrorMessages", "only|two");
    p.read_settings(s);
    ASSERT_EQ(s.error_messages.size(), 23u);
    EXPECT_EQ(s.error_messages[20], "Server refused connection");
    EXPECT_EQ(s.misc_messages.size(), 11u);

    EXPECT_EQ(kestrel::fill_message("Call from %1 (%2%%)", "600"), "Call from 600 (%2%%)");
}

}  // namespace
}  // namespace voxline::test
