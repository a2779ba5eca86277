#include "util/vxl_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/temp_home.h"
#include "util/log_queue.h"

namespace voxline::test {
namespace {

uint32_t g_fake_tick = 0;

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake_tick = 5000;
        log_set_clock_for_test([] { return g_fake_tick; }, [] { return int64_t{1700000000}; });
        log_reset_for_test();
    }
    void TearDown() override {
        log_set_clock_for_test(nullptr, nullptr);
        log_reset_for_test();
    }
    // The file's lines, split at "\r\n", without the start-up separator.
    std::vector<std::string> lines() {
        const std::string text = home.read("vxl.log");
        std::vector<std::string> out;
        for (size_t pos = 0, next = 0; next != std::string::npos; pos = next + 2) {
            next = text.find("\r\n", pos);
            std::string piece = text.substr(pos, next == std::string::npos ? next : next - pos);
            if (!piece.empty() && piece.rfind("\n=========", 0) != 0) out.push_back(piece);
        }
        return out;
    }
    temp_home home;
};

TEST_F(LogTest, HeaderLayoutElapsedSecondsErrorPrefixAndPrivateFile) {
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
    const char* expected[][3] = {{"00000", "0000", "first 1"},
                                 {"00001", "0010", "Error--second"},
                                 {"00002", "0002", "Error--third"},
                                 {"00003", "++++", "fourth"}};
    for (size_t i = 0; i < 4; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l[i], m, header)) << l[i];
        // The file name is cut to 12 characters.
        EXPECT_EQ(std::tuple(m[1].str(), m[2].str(), m[3].str(), m[5].str()),
                  std::tuple(expected[i][0], expected[i][1], "vxl_log_test", expected[i][2]));
    }
    EXPECT_EQ(l[0].find(']'), 56u);  // 57 characters up to the bracket, 59 with "\r\n"

    // One start-up separator first, in a file only its owner may read.
    const std::string text = home.read("vxl.log");
    const std::string separator =
        "\n========= Start up ==================================================";
    EXPECT_EQ(text.find(separator), 0u);
    EXPECT_EQ(text.find(separator, 1), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(home.file("vxl.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LogTest, MultiLineEntriesAreIndentedAndLongOnesCutTo1023Characters) {
    VXL_LOG(LOG_ALWAYS, "one\ntwo\r\n\r\nthree");
    VXL_LOG(LOG_ALWAYS, "%s", std::string(5000, 'x').c_str());
    const std::vector<std::string> l = lines();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_THAT(l[0], ::testing::EndsWith("]one"));
    EXPECT_EQ(l[1], std::string(57, ' ') + "two");
    EXPECT_EQ(l[2], std::string(57, ' ') + "three");
    EXPECT_EQ(l[3].size(), 1023u - 2);  // the entry's "\r\n" is the split point
}

TEST_F(LogTest, RotatesAt250000BytesAtStartUpAndWhenASessionEntryWouldPass2500000) {
    home.write("vxl.log", std::string(250000, 'o'));
    home.write("vxl.001", "one");
    home.write("vxl.003", "three");
    home.write("vxl.004", "four");
    VXL_LOG(LOG_ALWAYS, "after rotation");
    EXPECT_EQ(std::tuple(home.read("vxl.001").size(), home.read("vxl.002"), home.exists("vxl.003"),
                         home.read("vxl.004")),
              std::tuple(250000u, "one", false, "three"));
    EXPECT_EQ(home.read("vxl.log").rfind("\n========= Start up", 0), 0u);

    // A log that grows during a session is rotated at 2,500,000 bytes as at
    // start-up, so the engine directory stays bounded however much is logged.
    for (const char* name : {"vxl.001", "vxl.002", "vxl.003", "vxl.004"}) home.write(name, name);
    VXL_LOG(LOG_ALWAYS, "entry");  // every entry has the same length
    const size_t one = home.read("vxl.log").size();
    VXL_LOG(LOG_ALWAYS, "entry");
    const size_t entry = home.read("vxl.log").size() - one;
    // An entry that ends exactly at the limit still goes into the file.
    std::ofstream(home.file("vxl.log"), std::ios::binary | std::ios::app)
        << std::string(2500000 - one - 2 * entry, 'p');
    VXL_LOG(LOG_ALWAYS, "entry");
    EXPECT_EQ(home.read("vxl.log").size(), 2500000u);
    EXPECT_EQ(home.read("vxl.001"), "vxl.001");
    // The next one starts a new file, the older ones move up.
    VXL_LOG(LOG_ALWAYS, "entry");
    EXPECT_EQ(std::tuple(home.read("vxl.001").size(), home.read("vxl.002"), home.read("vxl.004")),
              std::tuple(2500000u, "vxl.001", "vxl.003"));
    const std::string fresh = home.read("vxl.log");
    EXPECT_EQ(fresh.rfind("\n========= Start up", 0), 0u) << fresh;
    EXPECT_EQ(fresh.find("entry"), fresh.rfind("entry")) << "one entry only: " << fresh;
}

TEST_F(LogTest, NoLogMarkerStopsTheFileButNotTheClientAndTheSequenceWrapsAfter99999) {
    home.write("novxllog", "");  // also keeps the 100000 entries off the disk
    for (int i = 0; i < 100000; ++i) VXL_LOG(LOG_ALWAYS, "x");
    log_queue* queue = log_queue_acquire();
    log_enable_client_forwarding();
    VXL_LOG(LOG_INFO, "kept for the client");
    std::vector<std::string> got;
    queue->drain(5, [&](int, const char* text) { got.emplace_back(text); });
    log_queue_release();
    EXPECT_FALSE(home.exists("vxl.log"));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_THAT(got[0], ::testing::MatchesRegex("\\[00000 .*\\]kept for the client"));
}

TEST(LogQueue, HoldsEightyLinesKeepsLevelsAndCutsTo511Characters) {
    log_queue queue;
    for (int i = 0; i < 81; ++i) queue.post(8, std::to_string(i).c_str());
    EXPECT_EQ(queue.pending_count(), 80);

    std::vector<std::string> got;
    int passes = 0;
    while (queue.drain(5, [&](int, const char* text) { got.emplace_back(text); }) > 0) ++passes;
    // Five per pass; the 81st never reaches the client.
    ASSERT_EQ(std::tuple(passes, got.size()), std::tuple(16, size_t{80}));
    EXPECT_EQ(std::tuple(got.front(), got.back()), std::tuple("0", "79"));

    // Drained entries are free again; levels are kept, texts cut to 511 characters.
    queue.post(1, std::string(700, 'a').c_str());
    queue.post(16, "stat");
    std::vector<std::pair<int, std::string>> entries;
    queue.drain(5, [&](int level, const char* text) { entries.emplace_back(level, text); });
    EXPECT_EQ(entries,
              (std::vector<std::pair<int, std::string>>{{1, std::string(511, 'a')}, {16, "stat"}}));
}

}  // namespace
}  // namespace voxline::test
