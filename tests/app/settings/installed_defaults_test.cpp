#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "app_folder.h"
#include "atomic_file.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

void put_file(const std::string& path, const std::string& bytes, std::filesystem::perms mode) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    std::filesystem::permissions(path, mode);
}

TEST(InstalledDefaults, FoundBesideTheProgramsFolder) {
    EXPECT_EQ(dialdeck::installed_defaults("/opt/dd/bin/"),
              "/opt/dd/share/dialdeck/config/Config.ini");
    EXPECT_EQ(dialdeck::installed_defaults("/work/build/bin"),
              "/work/build/share/dialdeck/config/Config.ini");
    EXPECT_EQ(dialdeck::user_folder({"", "/opt/dd/bin/", "/x/conf", "/home/u"}),
              "/x/conf/dialdeck/");
    EXPECT_EQ(dialdeck::user_folder({"", "/opt/dd/bin/", "", "/home/u"}),
              "/home/u/.config/dialdeck/");
}

TEST(InstalledDefaults, CopiedOnlyIntoAFolderWithoutSettings) {
    const std::string defaults_text = "[Dialdeck]\r\nab=cd\r\n\r\n[Phone]\r\n\r\n[Ads]\r\nef=1\r\n";
    const std::string own_text = "[Dialdeck]\r\nown=settings\r\n";
    const struct {
        const char* what;
        bool defaults_installed;
        std::optional<std::string> existing;
        bool copied;
        std::optional<std::string> after;
    } cases[] = {
        {"fresh user folder", true, std::nullopt, true, defaults_text},
        {"settings already there", true, own_text, false, own_text},
        {"nothing installed", false, std::nullopt, false, std::nullopt},
    };
    for (const auto& c : cases) {
        temp_folder root;
        const std::string defaults = root.path() + "share/dialdeck/config/Config.ini";
        // Below folders that do not exist yet, as ~/.config/dialdeck/ in a new account.
        const std::string user = root.path() + "home/.config/dialdeck/";
        const std::string config = user + "config/Config.ini";
        if (c.defaults_installed) put_file(defaults, defaults_text, std::filesystem::perms(0644));
        if (c.existing) put_file(config, *c.existing, std::filesystem::perms(0640));

        EXPECT_EQ(dialdeck::copy_installed_defaults(defaults, user), c.copied) << c.what;
        EXPECT_EQ(dialdeck::read_whole_file(config), c.after) << c.what;
        if (c.after) {
            struct stat info {};
            ASSERT_EQ(::stat(config.c_str(), &info), 0) << c.what;
            EXPECT_EQ(info.st_mode & 0777, c.copied ? 0600u : 0640u) << c.what;
        }
    }
}

}  // namespace
}  // namespace voxline::test
