// Creates engine objects from libvoxline.so: $VOXLINE_ENGINE names the file,
// else the one beside libkestrel.so, else the library path. The library is
// loaded once per process and never unloaded, since an engine's threads may
// outlive any one control.
#pragma once

#include <voxline/voxline.h>

#include <functional>
#include <string>

namespace kestrel {

// Stands in for component creation: a class name to a new engine with one
// reference. Tests hand the control their own.
using engine_factory = std::function<int32_t(const char* class_name, ITarnwickVXL** engine)>;

struct engine_library {
    VoxlineCreateInstanceFn create = nullptr;
    std::string path;   // the file that loaded
    std::string error;  // why none did
};

// The process's engine library, loaded on first use.
const engine_library& voxline_library();

// Creation through voxline_library(); a missing library reads as an
// unregistered class.
engine_factory library_engine_factory();

}  // namespace kestrel
