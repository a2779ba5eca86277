#include "engine_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kestrel {

namespace {

constexpr const char* k_library_name = "libvoxline.so";

// The folder of the shared object this code lives in (libkestrel.so).
std::string own_directory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&own_directory), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string file = info.dli_fname;
    auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

std::vector<std::string> candidates() {
    std::vector<std::string> files;
    if (const char* chosen = std::getenv("VOXLINE_ENGINE"); chosen != nullptr && *chosen != '\0') {
        // An explicit choice is the only one tried.
        files.emplace_back(chosen);
        return files;
    }
    if (std::string directory = own_directory(); !directory.empty()) {
        std::string beside = directory + "/" + k_library_name;
        if (access(beside.c_str(), R_OK) == 0) {
            files.push_back(beside);
        }
    }
    files.emplace_back(k_library_name);
    return files;
}

engine_library load() {
    engine_library library;
    for (const auto& file : candidates()) {
        dlerror();
        void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            library.error = why ? why : "cannot load " + file;
            continue;
        }
        auto create =
            reinterpret_cast<VoxlineCreateInstanceFn>(dlsym(handle, "VoxlineCreateInstance"));
        if (create == nullptr) {
            library.error = file + " has no VoxlineCreateInstance";
            dlclose(handle);
            continue;
        }
        library.create = create;
        library.path = file;
        library.error.clear();
        break;
    }
    return library;
}

}  // namespace

const engine_library& voxline_library() {
    static const engine_library library = load();
    return library;
}

engine_factory library_engine_factory() {
    return [](const char* class_name, ITarnwickVXL** engine) -> int32_t {
        if (engine == nullptr) {
            return VXL_E_POINTER;
        }
        *engine = nullptr;
        const engine_library& library = voxline_library();
        if (library.create == nullptr) {
            return VXL_E_CLASS_NOT_REGISTERED;
        }
        return library.create(class_name, engine);
    };
}

}  // namespace kestrel
