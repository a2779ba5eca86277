// Finds and loads the phone control library: $KESTREL_CONTROL, the program's
// folder, ../lib/ beside it, then the dynamic loader's library path (the same
// order as kestrel-host, which is a separate deliverable and keeps its own copy).
#pragma once

#include <string>

#include "kestrel/kestrel.h"

namespace dialdeck {

struct control_load_result {
    IActiveXPhone* control = nullptr;
    // The first file tried, and each attempt's failure in the loader's own words.
    std::string file;
    std::string error;
};

// The control of the dual class, or null with the failure. The library stays
// loaded for the life of the process.
control_load_result load_control(const std::string& program_folder);

}  // namespace dialdeck
