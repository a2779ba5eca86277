// Persistent key store standing in for the system registry: the same key
// paths ("HKEY_LOCAL_MACHINE\Software\Tarnwick\VXL") and value names, kept
// under the engine directory's registry/ folder. Hive and key names match
// without regard to case; values are written atomically with mode 0600.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace voxline {

class registry_key {
  public:
    enum key_status : int { OPENED_EXISTING = 0, CREATED = 1, FAILED = 2 };
    enum value_type : uint32_t { TYPE_STRING = 1, TYPE_BINARY = 3, TYPE_DWORD = 4 };
    static constexpr int ERROR_INVALID_PARAMETER = 87;
    static constexpr int ERROR_FILE_NOT_FOUND = 2;
    static constexpr int ERROR_NOT_SUPPORTED = 50;

    // open_only: fail when a component is missing instead of creating it.
    // A remote machine name is not supported here and fails.
    bool open(const char* path, bool open_only, bool read_only,
              const char* remote_machine = nullptr);
    bool read_value(const char* name, uint32_t* type, std::vector<uint8_t>* data);
    bool read_string(const char* name, std::string* text);
    bool write_value(const char* name, uint32_t type, const void* data, size_t size);
    bool write_string(const char* name, const std::string& text);
    void close();

    key_status status() const { return m_status; }
    int last_error() const { return m_last_error; }
    int component_count() const { return m_components; }

  private:
    std::string value_file(const char* name) const;

    std::string m_directory;
    std::string m_path;
    int m_components = 0;
    bool m_read_only = true;
    key_status m_status = FAILED;
    int m_last_error = 0;
};

}  // namespace voxline
