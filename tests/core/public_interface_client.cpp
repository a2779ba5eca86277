// A client that knows only the public header: loads the engine library by
// file name, creates the engine and configures it. Exit status 0 when every
// result is as a client may rely on.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>
#include <voxline/voxline.h>

#include <cstdio>
#include <string>

#include "support/recording_callback.h"  // itself knows only the public header

static int failures = 0;
static void check(bool ok, const char* what) {
    if (!ok) fprintf(stderr, "FAILED: %s\n", what), ++failures;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s LIBVOXLINE\n", argv[0]);
        return 2;
    }
    char home[] = "/tmp/voxline-client-XXXXXX";
    if (!mkdtemp(home)) return 2;
    setenv("VOXLINE_HOME", home, 1);
    setenv("VOXLINE_AUDIO", "virtual", 1);

    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    auto create = reinterpret_cast<VoxlineCreateInstanceFn>(
        library ? dlsym(library, "VoxlineCreateInstance") : nullptr);
    auto list = reinterpret_cast<VoxlineListSoundDevicesFn>(
        library ? dlsym(library, "VoxlineListSoundDevices") : nullptr);
    check(list != nullptr, "the device list is exported");
    if (!create) return fprintf(stderr, "no factory in %s\n", argv[1]), 1;
    if (list) {
        char devices[256] = "unchanged";
        const int32_t needed = list(nullptr, 0);
        check(needed > 1 && list(devices, needed - 1) == needed &&
                  std::string(devices) == "unchanged",
              "a short buffer gets the size and no text");
        check(
            list(devices, sizeof devices) == needed &&
                std::string(devices) ==
                    "in\tvirtual microphone\t8000\tdefault\nout\tvirtual speaker\t8000\tdefault\n",
            "devices listed");
    }

    ITarnwickVXL* engine = nullptr;
    check(create(VOXLINE_CLASS_TARNWICK_VXL_G729, &engine) == VXL_E_CLASS_NOT_REGISTERED &&
              engine == nullptr,
          "codec classes are not creatable");
    check(create("Something", &engine) == VXL_E_CLASS_NOT_AVAILABLE, "unknown classes refused");
    check(create(VOXLINE_CLASS_TARNWICK_VXL, nullptr) == VXL_E_POINTER, "null out pointer refused");
    check(create(VOXLINE_CLASS_TARNWICK_VXL, &engine) == VXL_S_OK && engine, "engine created");
    if (!engine) return 1;

    voxline::test::recording_callback callback;
    check(engine->ConfigureCallParameters("127.0.0.63", "5551000", "Client", "127.0.0.1", 2727,
                                          2427, VXL_VOCODER_G711U, 2, 20, 60, 40, &callback, 0, 0,
                                          "", "", "", 0, 0, 0, 0, nullptr, nullptr) == VXL_S_OK,
          "configured");
    check(engine->AddRef() == 2 && engine->Release() == 1, "reference count");
    check(engine->Release() == 0, "last release");

    // The library stays loaded: unloading it is not part of what a client relies on.
    std::string cleanup = std::string("rm -rf ") + home;
    if (system(cleanup.c_str()) != 0) return 1;
    printf("%s\n", failures ? "public interface client: FAILED" : "public interface client: ok");
    return failures ? 1 : 0;
}
