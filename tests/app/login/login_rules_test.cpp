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
    EXPECT_TRUE(on.enabled);
    EXPECT_EQ(on.address, "127.0.0.1");
    EXPECT_EQ(on.port, 2740);
    for (const char* bad :
         {"1,127.0.0.1,0", "1,127.0.0.1,65536", "1,127.0.0.1,27a", "1,x,", "1,127.0.0.1"})
        EXPECT_FALSE(parse_directory_login(bad).port) << bad;
    EXPECT_FALSE(parse_directory_login("0,127.0.0.1,2740").enabled);
}

const strings ALMA = {"Alma", "Berg", "7001", "0", "alma@lab.invalid", "1", "", "K7001", "lab"};

TEST(AccountRecord, BuildsNineFieldsThenTheAccount) {
    EXPECT_EQ(build_record(ALMA, "2191001", "1234", "127.0.0.1", "2740"),
              "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,1234,127.0.0.1,2740");
    struct row {
        const char* why;
        strings fields;
        const char* account;
        const char* pin;
    };
    strings comma = ALMA, bar = ALMA, control = ALMA, eight = ALMA, ten = ALMA;
    comma[0] = "Alma, Jr";
    bar[4] = "a|b";
    control[1] = "Be\nrg";
    eight.pop_back();
    ten.push_back("extra");
    const row refused[] = {
        {"comma in a field", comma, "2191001", "1234"},
        {"bar in a field", bar, "2191001", "1234"},
        {"line end in a field", control, "2191001", "1234"},
        {"eight fields", eight, "2191001", "1234"},
        {"ten fields", ten, "2191001", "1234"},
        {"comma in the account", ALMA, "219,1001", "1234"},
        {"delete in the PIN", ALMA, "2191001", "12\x7f"},
        {"tab in the PIN", ALMA, "2191001", "1\t2"},
    };
    for (const row& r : refused)
        EXPECT_FALSE(build_record(r.fields, r.account, r.pin, "127.0.0.1", "2740")) << r.why;
}

TEST(AccountRecord, MissingFieldsReadEmpty) {
    const account_record full("Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234,127.0.0.1,2740");
    EXPECT_EQ(full.field(RECORD_NUMBER), "7001");
    EXPECT_EQ(full.field(RECORD_KEY), "K7001");
    EXPECT_EQ(full.field(RECORD_PIN), "1234");
    EXPECT_EQ(full.field(RECORD_DIRECTORY_PORT), "2740");
    EXPECT_TRUE(full.has_directory());

    for (const char* short_record : {"", "2191001", "Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234",
                                     "Alma,Berg,7001,0,a,1,,K7001,lab,2191001,1234,127.0.0.1,"}) {
        const account_record r(short_record);
        EXPECT_FALSE(r.has_directory()) << short_record;
        EXPECT_EQ(r.field(RECORD_DIRECTORY_PORT), "") << short_record;
        EXPECT_EQ(r.field(99), "") << short_record;
    }
    EXPECT_EQ(account_record("2191001").field(0), "2191001");
    EXPECT_EQ(account_record("").size(), 0u);
}

}  // namespace
}  // namespace voxline::test
