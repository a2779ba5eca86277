// A private engine directory per test, so logs, markers and the key store
// never leak between tests or into the user's home.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace voxline_test {

class temp_home {
  public:
    temp_home() {
        char pattern[] = "/tmp/voxline-test-XXXXXX";
        m_path = mkdtemp(pattern);
        setenv("VOXLINE_HOME", m_path.c_str(), 1);
    }
    ~temp_home() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream out(file(name), std::ios::binary);
        out << text;
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

  private:
    std::string m_path;
};

}  // namespace voxline_test
