// A log that grows during a session is rotated at 2,500,000 bytes exactly as
// at start-up, so the engine directory stays bounded however much is logged.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/temp_home.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

constexpr size_t SESSION_LIMIT = 2500000;

uint32_t fake_tick() {
    return 5000;
}
int64_t fake_wall() {
    return 1700000000;
}

class LogRotation : public ::testing::Test {
  protected:
    void SetUp() override {
        log_set_clock_for_test(fake_tick, fake_wall);
        log_reset_for_test();
    }
    void TearDown() override {
        log_set_clock_for_test(nullptr, nullptr);
        log_reset_for_test();
    }
    // Every entry it writes has the same length.
    static void entry() { VXL_LOG(LOG_ALWAYS, "entry"); }
    size_t size(const std::string& name) { return home.read(name).size(); }
    void pad_log_to(size_t bytes) {
        std::ofstream(home.file("vxl.log"), std::ios::binary | std::ios::app)
            << std::string(bytes - size("vxl.log"), 'p');
    }
    temp_home home;
};

TEST_F(LogRotation, RotatesDuringTheSessionWhenAnEntryWouldPassTheLimit) {
    home.write("vxl.001", "one");
    home.write("vxl.002", "two");
    home.write("vxl.003", "three");
    home.write("vxl.004", "four");
    entry();
    const size_t before = size("vxl.log");
    entry();
    const size_t entry_size = size("vxl.log") - before;

    // An entry that ends exactly at the limit still goes into the file.
    pad_log_to(SESSION_LIMIT - entry_size);
    entry();
    EXPECT_EQ(size("vxl.log"), SESSION_LIMIT);
    EXPECT_EQ(home.read("vxl.001"), "one");

    // The next one starts a new file, the older ones move up as at start-up.
    entry();
    EXPECT_EQ(size("vxl.001"), SESSION_LIMIT);
    EXPECT_EQ(home.read("vxl.002"), "one");
    EXPECT_EQ(home.read("vxl.003"), "two");
    EXPECT_EQ(home.read("vxl.004"), "three");
    const std::string fresh = home.read("vxl.log");
    EXPECT_EQ(fresh.rfind("\n========= Start up", 0), 0u) << fresh;
    EXPECT_EQ(fresh.find("entry"), fresh.rfind("entry")) << "one entry only: " << fresh;
}

}  // namespace
}  // namespace voxline::test
