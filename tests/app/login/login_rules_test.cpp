// Prefixes, login settings and the account record, as pure functions.
#include <gtest/gtest.h>

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
    for (const auto& [text, flags] :
         {std::pair{"1,1,1,1", "1111"}, {"1,0,0,1", "1001"}, {"true,yes", "0000"}}) {
        const login_options o = parse_login_options(text);
        const char bits[] = {char('0' + o.show_dialog), char('0' + o.show_pin),
                             char('0' + o.mask_account), char('0' + o.mask_pin), 0};
        EXPECT_STREQ(bits, flags) << text;
    }
    const directory_login on = parse_directory_login("1,127.0.0.1,2740");
    EXPECT_TRUE(on.enabled && on.address == "127.0.0.1" && on.port == 2740);
    for (const char* bad :
         {"1,127.0.0.1,0", "1,127.0.0.1,65536", "1,127.0.0.1,27a", "1,x,", "1,127.0.0.1"})
        EXPECT_FALSE(parse_directory_login(bad).port) << bad;
    EXPECT_FALSE(parse_directory_login("0,127.0.0.1,2740").enabled);
}

TEST(AccountRecord, BuildsNineFieldsThenTheAccountAndReadsMissingFieldsEmpty) {
    const strings alma = {"Alma", "Berg", "7001", "0", "alma@lab.invalid", "1", "", "K7001", "lab"};
    const auto built = build_record(alma, "2191001", "1234", "127.0.0.1", "2740");
    EXPECT_EQ(built, "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,1234,127.0.0.1,2740");
    const struct {
        size_t at;  // 9: one field more, 8: one less
        const char *field, *account, *pin;
    } refused[] = {
        {9, "extra", "2191001", "1234"},    {8, nullptr, "2191001", "1234"},
        {0, "Alma, Jr", "2191001", "1234"}, {4, "a|b", "2191001", "1234"},
        {1, "Be\nrg", "2191001", "1234"},   {0, "Alma", "219,1001", "1234"},
        {0, "Alma", "2191001", "12\x7f"},   {0, "Alma", "2191001", "1\t2"},
    };
    for (const auto& r : refused) {
        strings fields = alma;
        fields.resize(r.field ? std::max<size_t>(9, r.at + 1) : r.at);
        if (r.field) fields[r.at] = r.field;
        EXPECT_FALSE(build_record(fields, r.account, r.pin, "127.0.0.1", "2740")) << r.at;
    }
    const account_record full(built.value_or(""));
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
