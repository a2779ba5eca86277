// The codecs log only on failure; keep that out of the user's engine directory.
#include <cstdlib>
#include <filesystem>

namespace {
const bool g_home_set = [] {
    char pattern[] = "/tmp/vxl-vocoder-test-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) {
        setenv("VOXLINE_HOME", dir, 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::getenv("VOXLINE_HOME"), ignored);
        });
    }
    return true;
}();
}  // namespace
