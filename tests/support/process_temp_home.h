// One private engine directory for a whole test or benchmark process: set
// before main, so the first log line already goes there, and removed at exit.
// Including this header is enough.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace voxline_test {

inline const std::string& process_temp_home() {
    // A plain array outlives every static string, so the exit handler can still read it.
    static char path[] = "/tmp/voxline-process-XXXXXX";
    static const std::string home = [] {
        if (!mkdtemp(path)) return std::string("/tmp");
        setenv("VOXLINE_HOME", path, 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        });
        return std::string(path);
    }();
    return home;
}

inline const bool process_temp_home_ready = !process_temp_home().empty();

}  // namespace voxline_test
