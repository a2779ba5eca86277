#include "platform/key_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/engine_paths.h"

namespace voxline {

namespace {

const char* const HIVES[] = {"hkey_local_machine", "hkey_users", "hkey_current_user",
                             "hkey_classes_root"};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Names may hold any character but the path separator of the store itself.
std::string escape_name(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c == '/' || c == '%' || c < 0x20 || (out.empty() && c == '.')) {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out.empty() ? "%" : out;
}

bool is_directory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool registry_key::open(const char* path, bool open_only, bool read_only,
                        const char* remote_machine) {
    close();
    m_read_only = read_only;
    if (!path) {
        m_last_error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (remote_machine && *remote_machine) {
        m_last_error = ERROR_NOT_SUPPORTED;
        return false;
    }
    m_path = path;
    std::vector<std::string> parts;
    std::string current;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
            if (*p == '\0') break;
        } else {
            current += *p;
        }
    }
    m_components = static_cast<int>(parts.size());
    bool known_hive = false;
    if (!parts.empty())
        for (const char* hive : HIVES) known_hive |= lower(parts[0]) == hive;
    if (!known_hive) {
        m_last_error = ERROR_INVALID_PARAMETER;
        return false;
    }

    std::string dir = engine_file("registry");
    if (!is_directory(dir)) mkdir(dir.c_str(), 0700);
    bool created = false;
    for (size_t i = 0; i < parts.size(); ++i) {
        dir += "/" + escape_name(lower(parts[i]));
        created = false;
        if (is_directory(dir)) continue;
        if (open_only || mkdir(dir.c_str(), 0700) != 0) {
            m_last_error = open_only ? ERROR_FILE_NOT_FOUND : errno;
            return false;
        }
        created = true;
    }
    m_directory = dir;
    m_status = created ? CREATED : OPENED_EXISTING;
    return true;
}

std::string registry_key::value_file(const char* name) const {
    return m_directory + "/" + escape_name(lower(name ? name : "")) + ".value";
}

bool registry_key::read_value(const char* name, uint32_t* type, std::vector<uint8_t>* data) {
    if (m_status == FAILED) return false;
    FILE* f = fopen(value_file(name).c_str(), "rb");
    if (!f) {
        m_last_error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    uint32_t stored_type = 0;
    bool ok = fread(&stored_type, sizeof stored_type, 1, f) == 1;
    data->clear();
    uint8_t chunk[4096];
    size_t n;
    while (ok && (n = fread(chunk, 1, sizeof chunk, f)) > 0)
        data->insert(data->end(), chunk, chunk + n);
    fclose(f);
    if (!ok) {
        m_last_error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (type) *type = stored_type;
    return true;
}

bool registry_key::read_string(const char* name, std::string* text) {
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!read_value(name, &type, &data)) return false;
    text->assign(data.begin(), data.end());
    if (size_t nul = text->find('\0'); nul != std::string::npos) text->resize(nul);
    return true;
}

bool registry_key::write_value(const char* name, uint32_t type, const void* data, size_t size) {
    if (m_status == FAILED || m_read_only) {
        m_last_error = m_status == FAILED ? ERROR_INVALID_PARAMETER : EACCES;
        return false;
    }
    const std::string target = value_file(name);
    const std::string temp = target + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_last_error = errno;
        return false;
    }
    bool ok = write(fd, &type, sizeof type) == static_cast<ssize_t>(sizeof type) &&
              (size == 0 || write(fd, data, size) == static_cast<ssize_t>(size));
    ok = fsync(fd) == 0 && ok;
    ::close(fd);
    if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
        m_last_error = errno;
        unlink(temp.c_str());
        return false;
    }
    return true;
}

bool registry_key::write_string(const char* name, const std::string& text) {
    return write_value(name, TYPE_STRING, text.c_str(), text.size() + 1);
}

void registry_key::close() {
    m_directory.clear();
    m_path.clear();
    m_components = 0;
    m_status = FAILED;
}

}  // namespace voxline
