#include "app_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app_settings.h"
#include "atomic_file.h"

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

// Like mkdir -p, private to the user; true when the folder is there afterwards.
bool make_folders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

folder_sources process_sources() {
    return {environment("DIALDECK_HOME"), running_program_folder(), environment("XDG_CONFIG_HOME"),
            environment("HOME")};
}

}  // namespace

std::string user_folder(const folder_sources& sources) {
    if (!sources.xdg_config_home.empty()) return with_slash(sources.xdg_config_home) + "dialdeck/";
    return with_slash(sources.home) + ".config/dialdeck/";
}

std::string installed_defaults(const std::string& executable_folder) {
    std::string parent = executable_folder;
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    parent = parent.substr(0, parent.rfind('/') + 1);
    return (parent.empty() ? std::string("../") : parent) + "share/dialdeck/config/Config.ini";
}

bool copy_installed_defaults(const std::string& defaults, const std::string& folder) {
    const std::string target = config_path(with_slash(folder));
    const auto bytes = read_whole_file(defaults);
    if (!bytes || !make_folders(target.substr(0, target.rfind('/')))) return false;
    // Decided under the writer's lock, so a second instance starting now cannot lose a file.
    return rewrite_file(target, [&](const std::optional<std::string>& current) {
        return current ? std::nullopt : bytes;
    });
}

std::string prepared_application_folder() {
    const folder_sources sources = process_sources();
    const std::string folder = application_folder(sources);
    if (folder == user_folder(sources) && !sources.executable_folder.empty()) {
        const std::string defaults = installed_defaults(sources.executable_folder);
        if (copy_installed_defaults(defaults, folder)) {
            std::fprintf(stderr, "dialdeck: Settings started from the installed defaults: %s\n",
                         defaults.c_str());
        }
    }
    return folder;
}

std::string application_folder(const folder_sources& sources) {
    if (!sources.dialdeck_home.empty()) return with_slash(sources.dialdeck_home);
    if (!sources.executable_folder.empty()) {
        const std::string folder = with_slash(sources.executable_folder);
        if (::access(config_path(folder).c_str(), F_OK) == 0) return folder;
    }
    return user_folder(sources);
}

std::string application_folder() {
    return application_folder(process_sources());
}

std::string application_file(const std::string& folder, const std::string& setting) {
    std::string name = setting;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (!name.empty() && name.front() == '/') return name;
    return with_slash(folder) + name;
}

}  // namespace dialdeck
