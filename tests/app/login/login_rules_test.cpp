// Prefixes, login settings and the account record, as pure functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "account_prefix.h"
#include "account_record.h"
#include "login_settings.h"

namespace voxline::test {
namespace {

using namespace dialdeck;
using strings = std::vector<std::string>;

TEST(AccountPrefix, DecodesAndAccepts) {
    struct row {
        const char* stored;
        strings decoded;
        const char* account;
        bool accepted;
    };
    const row rows[] = {
        {"ZIH,JJ5", {"219", "500"}, "2191001", true},
        {"ZIH,JJ5", {"219", "500"}, "5001004", true},
        {"ZIH,JJ5", {"219", "500"}, "2181001", false},
        {"ZIH,JJ5", {"219", "500"}, "21", false},
        {"", {}, "2191001", false},
        {",", {}, "2191001", false},  // an empty entry must not open the door
        {"ABCDEFGHIJ", {"0123456789"}, "0123456789", true},
        {"QRSTUVWXYZ", {"9876543210"}, "98765432109", true},
        {"zih", {"219"}, "219", true},
        {"K-7", {"7-K"}, "7-kx", true},  // other characters stay; compared ignoring case
        {"ZIH", {"219"}, "", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.stored) + " / " + r.account);
        EXPECT_EQ(decode_prefixes(r.stored), r.decoded);
        EXPECT_EQ(prefix_accepts(decode_prefixes(r.stored), r.account), r.accepted);
    }
}

TEST(LoginSettings, OptionsAndDirectory) {
    const login_options all = parse_login_options("1,1,1,1");
    EXPECT_TRUE(all.show_dialog && all.show_pin && all.mask_account && all.mask_pin);
    const login_options lab = parse_login_options("1,0,0,1");
    EXPECT_TRUE(lab.show_dialog && !lab.show_pin && !lab.mask_account && lab.mask_pin);
    const login_options none = parse_login_options("true,yes");
    EXPECT_FALSE(none.show_dialog || none.show_pin || none.mask_account || none.mask_pin);

    const directory_login on = parse_directory_login("1,127.0.0.1,2740");
    EXPECT_TRUE(on.enabled && on.address == "127.0.0.1" && on.port == 2740);
    for (const char* bad :
         {"1,127.0.0.1,0", "1,127.0.0.1,65536", "1,127.0.0.1,27a", "1,x,", "1,127.0.0.1"})
        EXPECT_FALSE(parse_directory_login(bad).port) << bad;
    EXPECT_FALSE(parse_directory_login("0,127.0.0.1,2740").enabled);
}

const strings ALMA = {"Alma", "Berg", "7001", "0", "alma@lab.invalid", "1", "", "K7001", "lab"};

TEST(AccountRecord, BuildsNineFieldsThenTheAccount) {
    const auto build = [](const strings& fields, const char* account = "2191001",
                          const char* pin = "1234") {
        return build_record(fields, account, pin, "127.0.0.1", "2740");
    };
    EXPECT_EQ(build(ALMA),
              "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,1234,127.0.0.1,2740");
    strings eight = ALMA, ten = ALMA;
    eight.pop_back();
    ten.push_back("extra");
    EXPECT_FALSE(build(eight));
    EXPECT_FALSE(build(ten));
    for (const auto& [at, bad] :
         std::vector<std::pair<size_t, const char*>>{{0, "Alma, Jr"}, {4, "a|b"}, {1, "Be\nrg"}}) {
        strings fields = ALMA;
        fields[at] = bad;
        EXPECT_FALSE(build(fields)) << bad;
    }
    EXPECT_FALSE(build(ALMA, "219,1001"));
    EXPECT_FALSE(build(ALMA, "2191001", "12\x7f"));
    EXPECT_FALSE(build(ALMA, "2191001", "1\t2"));
}

TEST(AccountRecord, MissingFieldsReadEmpty) {
    const account_record full("Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234,127.0.0.1,2740");
    EXPECT_EQ(full.field(2) + "/" + full.field(7) + "/" + full.field(10) + "/" + full.field(12),
              "7001/K7001/1234/2740");
    EXPECT_TRUE(full.has_directory());

    for (const char* short_record : {"", "2191001", "Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234",
                                     "Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234,127.0.0.1,"}) {
        const account_record r(short_record);
        EXPECT_FALSE(r.has_directory()) << short_record;
        EXPECT_EQ(r.field(12) + r.field(99), "") << short_record;
    }
    EXPECT_EQ(account_record("2191001").field(0), "2191001");
    EXPECT_EQ(account_record("").size(), 0u);
}

}  // namespace
}  // namespace voxline::test
