// Where the engine keeps its files: $VOXLINE_HOME, else
// ${XDG_STATE_HOME:-$HOME/.local/state}/voxline/. Created (mode 0700) on demand.
#pragma once

#include <string>

namespace voxline {

std::string engine_directory();

// Full path of a file in the engine directory ("vxl.log", "vxl.opt", ...).
std::string engine_file(const char* name);

}  // namespace voxline
