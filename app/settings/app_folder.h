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

// $XDG_CONFIG_HOME/dialdeck/, else ~/.config/dialdeck/. Ends in "/".
std::string user_folder(const folder_sources& sources);

// The default settings an install carries, found from the program's folder:
// ../share/dialdeck/config/Config.ini (build tree and install alike).
std::string installed_defaults(const std::string& executable_folder);

// Gives folder a private copy of the defaults file when it has no Config.ini yet;
// an existing one is never touched. True when the copy was made.
bool copy_installed_defaults(const std::string& defaults, const std::string& folder);

// application_folder(), first started from the installed defaults when it is the
// user's folder and holds no settings yet (said on standard error).
std::string prepared_application_folder();

// A file named by a setting: "\" separates folders as "/" does; a relative
// name is taken below the application folder.
std::string application_file(const std::string& folder, const std::string& setting);

}  // namespace dialdeck
