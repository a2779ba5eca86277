// Where the application's own files live, and how a file named in a setting is
// found there.
#pragma once

#include <string>

namespace dialdeck {

struct folder_sources {
    std::string dialdeck_home;      // $DIALDECK_HOME, may be empty
    std::string executable_folder;  // the running program's folder
    std::string xdg_config_home;    // $XDG_CONFIG_HOME, may be empty
    std::string home;               // $HOME
};

// $DIALDECK_HOME, else the executable's folder when it holds config/Config.ini
// (a portable install), else the user's configuration folder. Always ends in "/".
std::string application_folder(const folder_sources& sources);
// The same from the process's environment and /proc/self/exe.
std::string application_folder();

// A file named by a setting: "\" separates folders as "/" does; a relative
// name is taken below the application folder.
std::string application_file(const std::string& folder, const std::string& setting);

}  // namespace dialdeck
