// Finds and loads libvoxline.so: $VOXLINE_ENGINE, then ../lib beside this
// program, then the library path.
#pragma once

#include <voxline/voxline.h>

#include <string>

namespace voxline_call {

struct loaded_engine {
    void* handle = nullptr;
    VoxlineCreateInstanceFn create = nullptr;
    VoxlineListSoundDevicesFn list_devices = nullptr;  // null in an engine without it
    std::string path;
    std::string error;
};

loaded_engine load_engine();

}  // namespace voxline_call
