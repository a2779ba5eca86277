// The window's texts and files: dressings, recent numbers, links, the clock.
#include <gtest/gtest.h>

#include "call_clock.h"
#include "dressing.h"
#include "link_opener.h"
#include "recent_numbers.h"

namespace voxline::test {
namespace {

using namespace dialdeck;

TEST(WindowText, RecentNumberFileReadsBothSeparatorsWithinItsSize) {
    struct row {
        std::string text;
        std::vector<std::string> numbers;
    };
    const std::string long_entry(600, '1');
    for (const row& r : {
             row{"555;600;", {"555", "600"}},
             row{"555;\n600;\r\n700", {"555", "600", "700"}},
             row{";;\n;555;", {"555"}},
             row{"55\x01"
                 "5;600;",
                 {"600"}},
             row{"1;2;3;4;5;6;7;8;9;10;11;12;",
                 {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
             row{std::string(510, '9') + ";600;", {std::string(510, '9')}},
             row{long_entry, {}},
         }) {
        SCOPED_TRACE(r.text.substr(0, 40));
        EXPECT_EQ(parse_recent_numbers(r.text), r.numbers);
    }
    // Written newest first, whole entries only, never past 512 bytes.
    EXPECT_EQ(recent_numbers_text({"700", "600"}), "700;\n600;\n");
    EXPECT_EQ(recent_numbers_text({std::string(505, '9'), "600", "7"}),
              std::string(505, '9') + ";\n600;\n");
}

TEST(WindowText, DialledNumbersGoToTheFrontOnce) {
    struct row {
        std::vector<std::string> list;
        const char* last_ten;
        std::vector<std::string> merged;
    };
    for (const row& r : {
             row{{"555"}, "600;;;;;;;;;;", {"600", "555"}},
             row{{"600", "555"}, "600;700;;;;;;;;;", {"700", "600", "555"}},
             row{{"x1", "555"}, "X1;", {"X1", "555"}},
             row{{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
                 "11;",
                 {"11", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
         }) {
        EXPECT_EQ(merge_recent_numbers(r.list, r.last_ten), r.merged) << r.last_ten;
    }
}

// The field counts are the window tests' to check.
TEST(WindowText, DressingFieldsInTheirPlaces) {
    std::string window = "640,480,Dialdeck,300,200,10,20,30,40,1,2,300,1,0,1,0,1,1,0";
    window += ",1,5,6,0,7,8,1,9,10,-5,128,255,1,1,0,1";
    const auto d = parse_window_dressing(window);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->caption, "Dialdeck");
    EXPECT_EQ(d->ad.width, 30);
    EXPECT_EQ(d->background.blue, 255);  // 300 is no colour
    EXPECT_EQ(d->label_text.red, 0);
    EXPECT_TRUE(d->close && d->always_on_top && d->options && d->help_topics && d->recent_list);
    EXPECT_FALSE(d->tuning_wizard || d->about || d->call_duration.shown || d->view_balance);
    EXPECT_TRUE(d->date_time.shown);
    EXPECT_EQ(d->account.y, 10);

    std::string buttons;
    for (int i = 0; i < 6; ++i) buttons += "1,2,3,4,B,http://u/" + std::to_string(i) + ",";
    buttons += "5,6,70,8,Start";
    const auto b = parse_button_dressing(buttons);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->links[5].url, "http://u/5");
    EXPECT_EQ(b->links[0].where.width, 3);
    EXPECT_EQ(b->call_timer.where.width, 70);
    EXPECT_EQ(b->call_timer.caption, "Start");
}

TEST(WindowText, CallDurationAfterTheOffset) {
    const std::tuple<const char*, long long, const char*> rows[] = {
        {"HH:MM:SS", 3723, "Call Duration: 01:02:03"},
        {"HH:MM", 3723, "Call Duration: 01:02"},
        {"xx:MM:SS", 3723, ":02:03"},
        {"HH:MM:SS", 360000, "Call Duration: 100:00:00"}};
    for (const auto& [format, seconds, shown] : rows)
        EXPECT_EQ(duration_text(format, seconds), shown) << format;
    // Automatic mode with a 10 s offset shows nothing for 9 s, then counts from 0.
    call_timer timer(10);
    EXPECT_FALSE(timer.tick());
    timer.start();
    for (int i = 1; i < 10; ++i) EXPECT_FALSE(timer.tick()) << i;
    EXPECT_EQ(timer.tick(), 0);
    EXPECT_EQ(timer.tick(), 1);
    timer.stop();
    EXPECT_FALSE(timer.tick());
    // Under one minute the window never logs out by itself.
    idle_limit never(0);
    never.enable(true);
    for (int i = 0; i < 3600; ++i) ASSERT_FALSE(never.tick());
}

TEST(WindowText, PinNumberAndClock) {
    EXPECT_EQ(with_pin_number("a?p=[pinNumber]", "[pinNumber]"), "a?p=[pinNumber]");
    EXPECT_EQ(with_pin_number("http://x/[pin]", "42"), "http://x/[pin]");
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 7, t.tm_hour = 15, t.tm_min = 4, t.tm_sec = 5;
    t.tm_wday = 1;
    EXPECT_EQ(clock_text(t), "Mon Dec 07, 2026 03:04:05 PM");
}

}  // namespace
}  // namespace voxline::test
