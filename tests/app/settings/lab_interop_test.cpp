// The lab writes application folders with its own scrambler: each side reads
// what the other wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app_settings.h"
#include "settings_test_support.h"

namespace voxline::test {
namespace {

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

size_t fields(const std::string& text) {
    return std::count(text.begin(), text.end(), ',') + 1;
}

TEST(LabInterop, TheLabsApplicationFolderLoads) {
    temp_folder folder;
    const std::string out =
        run(std::string(PYTHON_EXECUTABLE) + " " LAB_FOLDER "/dialdeck-lab" +
            " --address 127.0.0.9 --port 2799 --write-app-folder " + folder.path() + " 2>&1");
    ASSERT_NE(out.find("app folder written"), std::string::npos) << out;
    const auto settings = dialdeck::app_settings::load(folder.path());
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->value("Phone", "CallManager"), "127.0.0.9");
    EXPECT_EQ(settings->value("Phone", "Port"), "2799");
    EXPECT_EQ(settings->dialdeck("LDAP"), "1,127.0.0.9,2740");
    EXPECT_EQ(settings->dialdeck("PINHost"), "127.0.0.9:2743");
    EXPECT_EQ(settings->dialdeck("URLUpdate"), "http://127.0.0.9:2780;version.xml");
    EXPECT_EQ(fields(settings->dialdeck("WindowDressing")), 35u);
    EXPECT_EQ(fields(settings->dialdeck("ButtonDressing")), 41u);
    EXPECT_TRUE(std::filesystem::exists(folder.path() + "ayahuasca.dat"));
    const auto mode = std::filesystem::status(dialdeck::config_path(folder.path())).permissions();
    EXPECT_EQ(mode, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(LabInterop, TheLabReadsWhatWeWrote) {
    temp_folder folder;
    run(std::string(PYTHON_EXECUTABLE) + " " LAB_FOLDER "/dialdeck-lab --write-app-folder " +
        folder.path());
    auto settings = dialdeck::app_settings::load(folder.path());
    ASSERT_TRUE(settings);
    const std::string state = "Ann, \"Lee\";x=1:2195550100:~^`{|}\x7f";
    ASSERT_TRUE(settings->write("Dialdeck", "State", state));
    ASSERT_TRUE(settings->write("Phone", "CASAccount", "2195550100"));
    const std::string script =
        "import sys; sys.path.insert(0, '" LAB_FOLDER
        "'); "
        "from dialdeck_lab.app_settings import read_value; "
        "data = open(sys.argv[1], 'rb').read(); "
        "sys.stdout.buffer.write(read_value(data, 'Dialdeck', 'State').encode() + b'|' + "
        "read_value(data, 'Phone', 'CASAccount').encode())";
    EXPECT_EQ(run(std::string(PYTHON_EXECUTABLE) + " -c \"" + script + "\" " +
                  dialdeck::config_path(folder.path())),
              state + "|2195550100");
}

}  // namespace
}  // namespace voxline::test
