#include "engine_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace voxline_call {

namespace {

constexpr const char* library_name = "libvoxline.so";

std::string executable_directory() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        return {};
    }
    std::string text(path, static_cast<size_t>(length));
    auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

}  // namespace

loaded_engine load_engine() {
    loaded_engine engine;
    std::vector<std::string> candidates;
    if (const char* explicit_file = std::getenv("VOXLINE_ENGINE");
        explicit_file != nullptr && *explicit_file != '\0') {
        // An explicit choice is the only one tried.
        candidates.emplace_back(explicit_file);
    } else {
        std::string directory = executable_directory();
        if (!directory.empty()) {
            std::string beside = directory + "/../lib/" + library_name;
            if (access(beside.c_str(), R_OK) == 0) {
                candidates.push_back(beside);
            }
        }
        candidates.emplace_back(library_name);
    }
    for (const auto& candidate : candidates) {
        dlerror();
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            engine.error = why ? why : ("cannot load " + candidate);
            continue;
        }
        auto create =
            reinterpret_cast<VoxlineCreateInstanceFn>(dlsym(handle, "VoxlineCreateInstance"));
        if (create == nullptr) {
            engine.error = candidate + " has no VoxlineCreateInstance";
            dlclose(handle);
            continue;
        }
        engine.handle = handle;
        engine.create = create;
        engine.list_devices =
            reinterpret_cast<VoxlineListSoundDevicesFn>(dlsym(handle, "VoxlineListSoundDevices"));
        engine.path = candidate;
        engine.error.clear();
        return engine;
    }
    return engine;
}

}  // namespace voxline_call
