#include "callmanager/call_manager_list.h"

#include "control/control_test_log.h"

namespace voxline::test {
namespace {

using kestrel::SortCallManagersByUtilization;

TEST(CallManagerList, SortsByTheContainersLoads) {
    const std::tuple<const char*, std::optional<std::string>, const char*> rows[] = {
        {"a,b,c", "50,10,30", "b,c,a"}, {"a,b", "50,-1", "a,b"},  // -1 counts as 1000
        {"a,b", "20,10,  ", "b,a"},                               // trailing comma and blanks
        {"a,b,c", "30,30,10", "c,b,a"},  // equal loads swap only when lower
        {"a,b", "x,10", "a,b"},          // not a number reads 0
        {"a,b", "10", "a,b"},            // count mismatch keeps the order
        {"a,b", std::nullopt, "a,b"},    // the container failed
        {"a,,b", "3,2,1", "b,,a"},       // empty entries count
    };
    for (const auto& [list, loads, sorted] : rows) {
        std::vector<std::string> asked;
        const kestrel::load_query query = [&](const std::string& l) {
            asked.push_back(l);
            return loads;
        };
        EXPECT_EQ(SortCallManagersByUtilization(list, query, nullptr), sorted) << list;
        EXPECT_EQ(asked, std::vector<std::string>{list});
    }
    // A single call manager, or none, asks nothing.
    const kestrel::load_query refuse = [](const std::string&) -> std::optional<std::string> {
        ADD_FAILURE() << "asked";
        return {};
    };
    EXPECT_EQ(SortCallManagersByUtilization("10.0.0.1:2427", refuse, nullptr), "10.0.0.1:2427");
    EXPECT_EQ(SortCallManagersByUtilization("", refuse, nullptr), "");
}

TEST(CallManagerList, MismatchIsLoggedAsSevere) {
    captured_log c;
    c.log.set_diagnostics(false);
    SortCallManagersByUtilization(
        "a,b", [](const std::string&) { return std::optional<std::string>("7,"); }, &c.log);
    EXPECT_TRUE(
        c.has_console("SortCallManagersByUtilization('a,b') failed! CallManagerCount = 2, "
                      "GetCurrentLoadPercentagesOfCallManagers() returned '7', LoadsCount = 1"));
}

TEST(CallManagerList, DisplayAddressIsCutOnlyAfterPositionSix) {
    EXPECT_EQ(kestrel::display_call_manager("10.0.0.1,10.0.0.2"), "10.0.0.1");
    EXPECT_EQ(kestrel::display_call_manager("a,b"), "a,b");
    EXPECT_EQ(kestrel::display_call_manager("abcdef,b"), "abcdef,b");  // comma at 6
    EXPECT_EQ(kestrel::display_call_manager(" abcdef,b"), "abcdef");   // comma at 7
    EXPECT_EQ(kestrel::display_call_manager("  host.example  "), "host.example");
}

}  // namespace
}  // namespace voxline::test
