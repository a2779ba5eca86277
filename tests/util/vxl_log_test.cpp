#include "util/vxl_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "support/temp_home.h"
#include "util/log_queue.h"

using namespace voxline;
using voxline_test::temp_home;

namespace {

uint32_t g_fake_tick = 0;
uint32_t fake_tick() {
    return g_fake_tick;
}
int64_t fake_wall() {
    return 1700000000;
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake_tick = 5000;
        log_set_clock_for_test(fake_tick, fake_wall);
        log_reset_for_test();
    }
    void TearDown() override {
        log_set_clock_for_test(nullptr, nullptr);
        log_reset_for_test();
    }
    // The file's lines, split at "\r\n", without the start-up separator.
    std::vector<std::string> lines() {
        std::string text = home.read("vxl.log");
        std::vector<std::string> out;
        size_t pos = 0;
        while (true) {
            size_t next = text.find("\r\n", pos);
            std::string piece = text.substr(pos, next == std::string::npos ? next : next - pos);
            if (!piece.empty() && piece.rfind("\n=========", 0) != 0) out.push_back(piece);
            if (next == std::string::npos) break;
            pos = next + 2;
        }
        return out;
    }
    temp_home home;
};

TEST_F(LogTest, HeaderLayoutElapsedSecondsAndErrorPrefix) {
    VXL_LOG(LOG_ALWAYS, "first %d", 1);
    g_fake_tick += 10000;
    VXL_LOG(LOG_ERROR, "second");
    g_fake_tick += 2000;
    VXL_LOG(LOG_SEVERE, "third");
    g_fake_tick += 9999 * 1000;
    VXL_LOG(LOG_INFO, "fourth");

    const std::vector<std::string> l = lines();
    ASSERT_EQ(l.size(), 4u);
    // "[seq MM-dd-yy HH:mm:ss  (secs) tid file line]"
    const std::regex header(
        R"(^\[(\d{5}) \d\d-\d\d-\d\d \d\d:\d\d:\d\d  \((\d{4}|\+{4})\) [0-9a-f]{4} ( *[^ ]{1,12}) (\d{5})\](.*)$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l[0], m, header)) << l[0];
    EXPECT_EQ(m[1], "00000");
    EXPECT_EQ(m[2], "0000");
    EXPECT_EQ(m[3].str().size(), 12u);
    EXPECT_EQ(m[3], "vxl_log_test");  // cut to its first 12 characters
    EXPECT_EQ(m[5], "first 1");
    EXPECT_EQ(l[0].find(']'), 56u);  // 57 characters up to the bracket, 59 with "\r\n"

    ASSERT_TRUE(std::regex_match(l[1], m, header)) << l[1];
    EXPECT_EQ(m[1], "00001");
    EXPECT_EQ(m[2], "0010");
    EXPECT_EQ(m[5], "Error--second");
    ASSERT_TRUE(std::regex_match(l[2], m, header));
    EXPECT_EQ(m[5], "Error--third");
    ASSERT_TRUE(std::regex_match(l[3], m, header));
    EXPECT_EQ(m[2], "++++");
    EXPECT_EQ(m[5], "fourth");
}

TEST_F(LogTest, MultiLineEntriesAreIndentedAndEmptyPiecesVanish) {
    VXL_LOG(LOG_ALWAYS, "one\ntwo\r\n\r\nthree");
    const std::vector<std::string> l = lines();
    ASSERT_EQ(l.size(), 3u);
    EXPECT_THAT(l[0], ::testing::EndsWith("]one"));
    EXPECT_EQ(l[1], std::string(57, ' ') + "two");
    EXPECT_EQ(l[2], std::string(57, ' ') + "three");
}

TEST_F(LogTest, SeparatorOnceAndPrivateFile) {
    VXL_LOG(LOG_ALWAYS, "a");
    VXL_LOG(LOG_ALWAYS, "b");
    const std::string text = home.read("vxl.log");
    const std::string separator =
        "\n========= Start up ==================================================";
    EXPECT_EQ(text.find(separator), 0u);
    EXPECT_EQ(text.find(separator, 1), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(home.file("vxl.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LogTest, LongEntryIsCutTo1023Characters) {
    const std::string big(5000, 'x');
    VXL_LOG(LOG_ALWAYS, "%s", big.c_str());
    const std::vector<std::string> l = lines();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].size(), 1023u - 2);  // the entry's "\r\n" is the split point
}

TEST_F(LogTest, LargeLogRotatesAtStartUpOnly) {
    home.write("vxl.log", std::string(300000, 'o'));
    home.write("vxl.001", "one");
    home.write("vxl.003", "three");
    home.write("vxl.004", "four");
    VXL_LOG(LOG_ALWAYS, "after rotation");
    EXPECT_EQ(home.read("vxl.001").size(), 300000u);
    EXPECT_EQ(home.read("vxl.002"), "one");
    EXPECT_FALSE(home.exists("vxl.003"));
    EXPECT_EQ(home.read("vxl.004"), "three");
    EXPECT_EQ(home.read("vxl.log").rfind("\n========= Start up", 0), 0u);

    // Growing past the limit while running never rotates.
    VXL_LOG(LOG_ALWAYS, "%s", std::string(1000, 'y').c_str());
    home.write("vxl.log", std::string(260000, 'z'));
    VXL_LOG(LOG_ALWAYS, "still here");
    EXPECT_EQ(home.read("vxl.001").size(), 300000u);
    EXPECT_GT(home.read("vxl.log").size(), 260000u);
}

TEST_F(LogTest, NoLogMarkerStopsTheFileButNotTheClient) {
    home.write("novxllog", "");
    log_queue* queue = log_queue_acquire();
    log_enable_client_forwarding();
    VXL_LOG(LOG_INFO, "kept for the client");
    EXPECT_FALSE(home.exists("vxl.log"));
    std::vector<std::pair<int, std::string>> got;
    queue->drain(5, [&](int level, const char* text) { got.emplace_back(level, text); });
    log_queue_release();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, LOG_INFO);
    EXPECT_THAT(got[0].second, ::testing::StartsWith("[00000"));
    EXPECT_THAT(got[0].second, ::testing::EndsWith("]kept for the client"));
}

TEST_F(LogTest, SequenceWrapsAfter99999) {
    home.write("novxllog", "");  // keeps the 100000 entries off the disk
    for (int i = 0; i < 100000; ++i) VXL_LOG(LOG_ALWAYS, "x");
    log_queue* queue = log_queue_acquire();
    log_enable_client_forwarding();
    VXL_LOG(LOG_ALWAYS, "wrapped");
    std::string text;
    queue->drain(1, [&](int, const char* t) { text = t; });
    log_queue_release();
    EXPECT_THAT(text, ::testing::StartsWith("[00000 "));
}

}  // namespace
