#include "control_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace dialdeck {

namespace {

constexpr char k_library[] = "libkestrel.so";

std::vector<std::string> candidates(const std::string& program_folder) {
    if (const char* from_env = std::getenv("KESTREL_CONTROL"); from_env && *from_env)
        return {from_env};
    std::string folder = program_folder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    // The bare name last: the dynamic loader searches the library path.
    return {folder + k_library, folder + "../lib/" + k_library, k_library};
}

void add_reason(control_load_result& result, const std::string& file, const std::string& why) {
    if (result.file.empty()) result.file = file;
    if (!result.error.empty()) result.error += '\n';
    // dlerror() names the file itself when the file was found.
    result.error += why.find(file) == std::string::npos ? file + ": " + why : why;
}

}  // namespace

control_load_result load_control(const std::string& program_folder) {
    control_load_result result;
    for (const std::string& file : candidates(program_folder)) {
        // Never closed: the control's code runs until the process ends.
        void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            const char* why = ::dlerror();
            add_reason(result, file, why ? why : "cannot load the library");
            continue;
        }
        auto create =
            reinterpret_cast<KestrelCreateInstanceFn>(::dlsym(library, "KestrelCreateInstance"));
        if (!create) {
            const char* why = ::dlerror();
            add_reason(result, file, why ? why : "no KestrelCreateInstance");
            continue;
        }
        IActiveXPhone* control = nullptr;
        const int32_t hr = create(KESTREL_CLASS_DUAL, &control);
        if (hr != KESTREL_S_OK || !control) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(hr));
            add_reason(result, file, std::string("KestrelCreateInstance returned ") + code);
            continue;
        }
        result.control = control;
        result.file = file;
        result.error.clear();
        return result;
    }
    return result;
}

}  // namespace dialdeck
