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
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"555;600;", {"555", "600"}},
        {"555;\n600;\r\n700", {"555", "600", "700"}},
        {";;\n;555;", {"555"}},
        {"55\0015;600;", {"600"}},  // a control byte spoils its entry
        {"1;2;3;4;5;6;7;8;9;10;11;12;", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {std::string(510, '9') + ";600;", {std::string(510, '9')}},
        {std::string(600, '1'), {}}};
    for (const auto& [text, numbers] : rows)
        EXPECT_EQ(parse_recent_numbers(text), numbers) << text.substr(0, 40);
    // Written newest first, whole entries only, never past 512 bytes.
    EXPECT_EQ(recent_numbers_text({"700", "600"}), "700;\n600;\n");
    EXPECT_EQ(recent_numbers_text({std::string(505, '9'), "600", "7"}),
              std::string(505, '9') + ";\n600;\n");
}

TEST(WindowText, DialledNumbersGoToTheFrontOnce) {
    // the list, the control's last ten, the list after
    const std::tuple<std::vector<std::string>, const char*, std::vector<std::string>> rows[] = {
        {{"555"}, "600;;;;;;;;;;", {"600", "555"}},
        {{"600", "555"}, "600;700;;;;;;;;;", {"700", "600", "555"}},
        {{"x1", "555"}, "X1;", {"X1", "555"}},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
         "11;",
         {"11", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const auto& [list, last_ten, merged] : rows)
        EXPECT_EQ(merge_recent_numbers(list, last_ten), merged) << last_ten;
}

// The field counts are the window tests' to check.
TEST(WindowText, DressingFieldsInTheirPlaces) {
    const auto d = parse_window_dressing(
        "640,480,Dialdeck,300,200,10,20,30,40,1,2,300,1,0,1,0,1,1,0,1,5,6,0,7,8,1,9,10,-5,128,255,"
        "1,1,0,1");
    ASSERT_TRUE(d);
    EXPECT_EQ(
        std::tuple(d->caption, d->ad.width, d->background.blue, d->label_text.red, d->account.y),
        std::tuple("Dialdeck", 30, 255, 0, 10));  // 300 is no colour
    EXPECT_TRUE(d->close && d->always_on_top && d->options && d->help_topics && d->recent_list);
    EXPECT_FALSE(d->tuning_wizard || d->about || d->call_duration.shown || d->view_balance);
    EXPECT_TRUE(d->date_time.shown);

    std::string buttons;
    for (int i = 0; i < 6; ++i) buttons += "1,2,3,4,B,http://u/" + std::to_string(i) + ",";
    buttons += "5,6,70,8,Start";
    const auto b = parse_button_dressing(buttons);
    ASSERT_TRUE(b);
    EXPECT_EQ(std::tuple(b->links[5].url, b->links[0].where.width, b->call_timer.where.width,
                         b->call_timer.caption),
              std::tuple("http://u/5", 3, 70, "Start"));
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
