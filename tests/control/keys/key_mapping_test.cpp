#include "keys/key_mapping.h"

#include <gtest/gtest.h>

#include <Qt>

#include "keys/qt_keys.h"
#include "keys/redial_list.h"
#include "keys/virtual_keys.h"

namespace voxline::test {
namespace {

using namespace kestrel;

TEST(key_mapping, virtual_keys_press_the_phone_keys) {
    // clang-format off
    const std::tuple<int32_t, bool, int> rows[] = {
        {0x0D, false, 0},  {0x08, false, 13}, {0x1B, false, 14}, {0x0C, false, 14},
        {0xFE, false, 14}, {0x20, false, 16}, {0xBD, false, 17}, {0xBB, false, 18},
        {0xBB, true, 18},  {0xBE, false, 19}, {'1', false, 1},   {'5', false, 5},
        {'0', false, 11},  {'3', true, 12},   {'8', true, 10},   {'9', true, 20},
        {'0', true, 21},   {0x60, false, 11}, {0x67, false, 7},  {0x6A, false, 10},
        {'A', false, 2},   {'C', true, 2},    {'S', false, 7},   {'T', false, 8},
        {'Z', false, 9},   {0x70, false, -1}, {'2', true, -1},   {0xBC, false, -1}};
    // clang-format on
    for (const auto& [key, shift, index] : rows)
        EXPECT_EQ(key_index_of_key(key, shift), index) << std::hex << key << " " << shift;
}

TEST(key_mapping, characters_type_themselves_and_scan_as_on_a_us_keyboard) {
    const std::string typed = "(600)a#*+= .-zX!";
    const int expected[] = {20, 6, 11, 11, 21, 2, 12, 10, 18, 18, 16, 19, 17, 9, 9, -1};
    for (size_t i = 0; i < typed.size(); ++i)
        EXPECT_EQ(key_index_of_char(typed[i]), expected[i]) << "'" << typed[i] << "'";
    EXPECT_EQ(key_index_of_char('\0'), -1);
    EXPECT_EQ(char_of_key_index(12), '#');
    EXPECT_EQ(char_of_key_index(20), '(');
    // The US layout's key and Shift (0x100) for a typed character.
    // clang-format off
    const std::pair<char, int32_t> scans[] = {{'#', 0x133}, {'a', 0x41}, {'A', 0x141},
        {'(', 0x139}, {'-', 0xBD}, {'+', 0x1BB}, {'\x80', -1}};
    // clang-format on
    for (const auto& [c, scan] : scans) EXPECT_EQ(key_scan_of_char(c), scan) << c;
}

TEST(key_mapping, qt_keys_give_windows_virtual_keys) {
    // clang-format off
    const std::tuple<int, bool, const char*, int32_t> rows[] = {
        {Qt::Key_Return, false, "\r", 0x0D}, {Qt::Key_Enter, true, "\r", 0x0D},
        {Qt::Key_Backspace, false, "", 0x08}, {Qt::Key_Escape, false, "", 0x1B},
        {Qt::Key_Clear, false, "", 0x0C}, {Qt::Key_Space, false, " ", 0x20},
        {Qt::Key_7, false, "7", 0x37}, {Qt::Key_G, false, "g", 0x47}, {Qt::Key_7, true, "7", 0x67},
        {Qt::Key_Asterisk, true, "*", 0x6A}, {Qt::Key_Minus, false, "-", 0xBD},
        {Qt::Key_Equal, false, "=", 0xBB}, {Qt::Key_Period, false, ".", 0xBE},
        {Qt::Key_PageUp, false, "", 0x21}, {Qt::Key_PageDown, false, "", 0x22},
        {Qt::Key_Left, false, "", 0x25}, {Qt::Key_Down, false, "", 0x28},
        {Qt::Key_F6, false, "", 0x75}, {Qt::Key_F9, false, "", 0x78}, {Qt::Key_F1, false, "", -1},
        {Qt::Key_Shift, false, "", 0x10}, {Qt::Key_Control, false, "", 0x11},
        {Qt::Key_NumberSign, false, "#", 0x133}, {Qt::Key_ParenLeft, false, "(", 0x139},
        {Qt::Key_Minus, true, "-", 0xBD}, {Qt::Key_Plus, true, "+", 0x1BB},
        {Qt::Key_Period, true, ".", 0xBE}};
    // clang-format on
    for (const auto& [qt_key, keypad, text, key] : rows)
        EXPECT_EQ(virtual_key_of(qt_key, keypad, QString::fromLatin1(text)), key) << qt_key;
}

TEST(redial_list, keeps_ten_numbers_once_each_and_browses_round) {
    redial_list list;
    EXPECT_EQ(list.last_ten(), ";;;;;;;;;;");
    for (const char* number : {"600", "600", "601"}) list.record(number);
    EXPECT_EQ(list.last_ten(), "600;601;;;;;;;;;");
    // Backwards from the empty entry reaches the newest first.
    EXPECT_EQ((std::vector<std::string>{list.back(), list.back(), list.back(), list.forward(),
                                        list.forward(), list.forward()}),
              (std::vector<std::string>{"601", "600", "", "600", "601", ""}));
    for (int n = 1; n <= 11; ++n) list.record(std::to_string(n));
    EXPECT_EQ(list.last_ten(), "2;3;4;5;6;7;8;9;10;11;");
    list.back();
    list.record("12");  // recording starts browsing afresh
    EXPECT_EQ(list.back(), "12");
}

}  // namespace
}  // namespace voxline::test
