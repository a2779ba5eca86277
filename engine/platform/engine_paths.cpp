#include "platform/engine_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace voxline {

namespace {

// mkdir -p with private permissions: the directory holds account data.
void make_directories(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
        }
    }
}

}  // namespace

std::string engine_directory() {
    std::string dir;
    if (const char* home = std::getenv("VOXLINE_HOME"); home && *home) {
        dir = home;
    } else if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
        dir = std::string(state) + "/voxline";
    } else {
        const char* user_home = std::getenv("HOME");
        dir = std::string(user_home && *user_home ? user_home : "/tmp") + "/.local/state/voxline";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0) make_directories(dir);
    return dir;
}

std::string engine_file(const char* name) {
    return engine_directory() + "/" + name;
}

}  // namespace voxline
