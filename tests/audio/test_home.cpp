#include "test_home.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace voxline::test {
namespace {

std::string make_home() {
    char pattern[] = "/tmp/vxl-audio-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    std::string home = dir ? dir : "/tmp";
    setenv("VOXLINE_HOME", home.c_str(), 1);
    if (dir)
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::getenv("VOXLINE_HOME"), ignored);
        });
    return home;
}

// Set before main so that the first log line already goes there.
const std::string g_home = make_home();

}  // namespace

const std::string& test_home() {
    return g_home;
}

std::string read_engine_log() {
    std::ifstream in(g_home + "/vxl.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace voxline::test
