// Private engine directories: the process gets one on inclusion, a test its own with temp_home.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace voxline::test {

inline std::string read_file(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline const std::string& process_temp_home() {
    // A plain array outlives every static string, so the exit handler can still read it.
    static char path[] = "/tmp/voxline-process-XXXXXX";
    static const std::string home = [] {
        // No test touches a real sound card unless it asks for one.
        setenv("VOXLINE_AUDIO", "virtual", 0);
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

// The whole of the current engine directory's vxl.log.
inline std::string engine_log() {
    const char* home = getenv("VOXLINE_HOME");
    return read_file(std::string(home ? home : process_temp_home().c_str()) + "/vxl.log");
}

// Occurrences of needle in the engine log past its first `from` bytes.
inline size_t engine_log_count(const std::string& needle, size_t from = 0) {
    const std::string log = engine_log();
    size_t n = 0;
    for (size_t at = from; (at = log.find(needle, at)) != std::string::npos; ++at) ++n;
    return n;
}

class temp_home {
  public:
    temp_home() {
        char pattern[] = "/tmp/voxline-test-XXXXXX";
        m_path = mkdtemp(pattern) ? pattern : process_temp_home();
        setenv("VOXLINE_HOME", m_path.c_str(), 1);
    }
    ~temp_home() {
        setenv("VOXLINE_HOME", process_temp_home().c_str(), 1);
        std::error_code ignored;
        if (m_path != process_temp_home()) std::filesystem::remove_all(m_path, ignored);
    }
    temp_home(const temp_home&) = delete;
    temp_home& operator=(const temp_home&) = delete;

    std::string file(const std::string& name) const { return m_path + "/" + name; }
    std::string read(const std::string& name) const { return read_file(file(name)); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

  private:
    std::string m_path;
};

}  // namespace voxline::test
