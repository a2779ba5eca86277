// Writers killed at random moments never leave a torn or lost file behind, and
// writers in different processes never lose each other's keys.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "atomic_file.h"
#include "ini_text.h"
#include "settings_file.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

std::string state_value(int n) {
    return "v" + std::to_string(n) + "," + std::string(1500, 'x');
}

TEST(SettingsDataLoss, KilledWritersLeaveTheOldOrTheNewFile) {
    temp_folder folder;
    const std::string config = folder.path() + "Config.ini";
    const std::string base =
        "[Dialdeck]\r\nIdle=5\r\nState=" + state_value(0) + "\r\n\r\n[Phone]\r\nPort=2727\r\n";
    ASSERT_TRUE(dialdeck::write_whole_file(config, base));

    std::mt19937 random(15);
    std::uniform_int_distribution<int> delay_us(0, 6000);
    std::set<std::string> versions;
    for (int round = 1; round <= 200; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            const dialdeck::settings_file file(config);
            for (int n = round * 1000;; ++n) file.write_value("Dialdeck", "State", state_value(n));
        }
        ::usleep(static_cast<useconds_t>(delay_us(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);

        const auto text = dialdeck::read_whole_file(config);
        ASSERT_TRUE(text) << "round " << round;
        const std::string state = dialdeck::ini_text(*text).read_value("Dialdeck", "State");
        ASSERT_EQ(*text, *dialdeck::ini_text(base).with_value("Dialdeck", "State", state))
            << "round " << round;
        ASSERT_EQ(state, state_value(std::stoi(state.substr(1)))) << "round " << round;
        versions.insert(state);
    }
    EXPECT_GT(versions.size(), 1u);  // the kills fell amid real rewrites
    // Each killed writer left at most its own temporary file, cleared by the next writer.
    int temporaries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        temporaries += entry.path().filename().string().rfind("Config.ini.tmp-", 0) == 0;
    EXPECT_LE(temporaries, 1);
}

TEST(SettingsDataLoss, ConcurrentWritersKeepEachOthersKeys) {
    temp_folder folder;
    const dialdeck::settings_file file(folder.path() + "Config.ini");
    ASSERT_TRUE(file.write_value("Phone", "Port", "2727"));
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        if ((children[c] = ::fork()) != 0) continue;
        bool ok = true;
        for (int k = 0; k < 20; ++k)
            ok &=
                file.write_value("Dialdeck", char('a' + c) + std::to_string(k), std::to_string(k));
        ::_exit(ok ? 0 : 1);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(file.read_value("Dialdeck", char('a' + k / 20) + std::to_string(k % 20)),
                  std::to_string(k % 20));
    EXPECT_EQ(file.section_lines("Dialdeck").size(), 40u);
    EXPECT_EQ(file.read_value("Phone", "Port"), "2727");
}

}  // namespace
}  // namespace voxline::test
