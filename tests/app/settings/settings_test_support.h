// A private folder per test, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace voxline::test {

class temp_folder {
  public:
    temp_folder() {
        std::string name = (std::filesystem::temp_directory_path() / "dialdeck_XXXXXX").string();
        if (::mkdtemp(name.data())) m_path = name + "/";
    }
    ~temp_folder() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::string& path() const { return m_path; }  // ends in "/"

  private:
    std::string m_path;
};

}  // namespace voxline::test
