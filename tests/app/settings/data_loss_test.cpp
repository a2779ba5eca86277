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
#include "scrambler.h"
#include "settings_file.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

using dialdeck::scramble;

std::string state_value(int n) {
    return "v" + std::to_string(n) + "," + std::string(1500, 'x');
}

std::string recent_numbers(int n) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += std::to_string(n) + ";\n";
    return text;
}

TEST(SettingsDataLoss, KilledWritersLeaveTheOldOrTheNewFile) {
    temp_folder folder;
    const std::string config = folder.path() + "Config.ini";
    const std::string recent = folder.path() + "ayahuasca.dat";
    const std::string base = "[Dialdeck]\r\n" + scramble("Idle") + "=" + scramble("5") + "\r\n" +
                             scramble("State") + "=" + scramble(state_value(0)) +
                             "\r\n\r\n[Phone]\r\n" + scramble("Port") + "=" + scramble("2727") +
                             "\r\n";
    ASSERT_TRUE(dialdeck::write_whole_file(config, base));
    ASSERT_TRUE(dialdeck::write_whole_file(recent, recent_numbers(0)));

    std::mt19937 random(15);
    std::uniform_int_distribution<int> delay_us(0, 6000);
    std::set<std::string> config_versions, recent_versions;
    for (int round = 1; round <= 200; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const dialdeck::settings_file file(config);
            // Odd rounds start with the recent numbers, so both files see early kills.
            for (int n = round * 1000;; ++n) {
                if (round % 2) dialdeck::write_whole_file(recent, recent_numbers(n));
                file.write_value("Dialdeck", scramble("State"), scramble(state_value(n)));
                dialdeck::write_whole_file(recent, recent_numbers(n));
            }
        }
        ::usleep(static_cast<useconds_t>(delay_us(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        const auto config_text = dialdeck::read_whole_file(config);
        ASSERT_TRUE(config_text) << "round " << round;
        const std::string state =
            scramble(dialdeck::ini_text(*config_text).read_value("Dialdeck", scramble("State")));
        const auto expected =
            dialdeck::ini_text(base).with_value("Dialdeck", scramble("State"), scramble(state));
        ASSERT_EQ(*config_text, *expected) << "round " << round;
        ASSERT_EQ(state, state_value(std::stoi(state.substr(1)))) << "round " << round;
        config_versions.insert(state);

        const auto recent_text = dialdeck::read_whole_file(recent);
        ASSERT_TRUE(recent_text) << "round " << round;
        const std::string first = recent_text->substr(0, recent_text->find(';'));
        ASSERT_EQ(*recent_text, recent_numbers(std::stoi(first))) << "round " << round;
        recent_versions.insert(first);
    }
    // The children did write: the kills fell amid real rewrites.
    EXPECT_GT(config_versions.size(), 1u);
    EXPECT_GT(recent_versions.size(), 1u);
    // Each killed writer left at most its own temporary file, cleared by the next writer.
    int temporaries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Config.ini.tmp-", 0) == 0) ++temporaries;
    }
    EXPECT_LE(temporaries, 1);
}

TEST(SettingsDataLoss, ConcurrentWritersKeepEachOthersKeys) {
    temp_folder folder;
    const dialdeck::settings_file file(folder.path() + "Config.ini");
    ASSERT_TRUE(file.write_value("Phone", "Port", "2727"));
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            bool ok = true;
            for (int k = 0; k < 20; ++k) {
                ok = file.write_value("Dialdeck", std::string(1, 'a' + c) + std::to_string(k),
                                      std::to_string(k)) &&
                     ok;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (char c : {'a', 'b'}) {
        for (int k = 0; k < 20; ++k) {
            EXPECT_EQ(file.read_value("Dialdeck", std::string(1, c) + std::to_string(k)),
                      std::to_string(k));
        }
    }
    EXPECT_EQ(file.section_lines("Dialdeck").size(), 40u);
    EXPECT_EQ(file.read_value("Phone", "Port"), "2727");
}

}  // namespace
}  // namespace voxline::test
