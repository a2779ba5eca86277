// The codecs log only on failure; keep that out of the user's engine directory.
#include <cstdlib>

namespace {
const bool g_home_set = [] {
    char pattern[] = "/tmp/vxl-vocoder-test-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) setenv("VOXLINE_HOME", dir, 1);
    return true;
}();
}  // namespace
