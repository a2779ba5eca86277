#include "app_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "app_settings.h"

namespace dialdeck {

namespace {

std::string with_slash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string running_program_folder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
    path.resize(static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

std::string application_folder(const folder_sources& sources) {
    if (!sources.dialdeck_home.empty()) return with_slash(sources.dialdeck_home);
    if (!sources.executable_folder.empty()) {
        const std::string folder = with_slash(sources.executable_folder);
        if (::access(config_path(folder).c_str(), F_OK) == 0) return folder;
    }
    if (!sources.xdg_config_home.empty()) return with_slash(sources.xdg_config_home) + "dialdeck/";
    return with_slash(sources.home) + ".config/dialdeck/";
}

std::string application_folder() {
    return application_folder({environment("DIALDECK_HOME"), running_program_folder(),
                               environment("XDG_CONFIG_HOME"), environment("HOME")});
}

std::string application_file(const std::string& folder, const std::string& setting) {
    std::string name = setting;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (!name.empty() && name.front() == '/') return name;
    return with_slash(folder) + name;
}

}  // namespace dialdeck
