// voxline-call: a headless phone on the Voxline engine's public header.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine_loader.h"
#include "options.h"
#include "output.h"
#include "phone.h"

#ifndef VOXLINE_CALL_VERSION
#define VOXLINE_CALL_VERSION "0"
#endif

namespace {

volatile bool stop_requested = false;

int list_sound_devices(const voxline_call::loaded_engine& library) {
    if (library.list_devices == nullptr) {
        std::fprintf(stderr, "voxline-call: the engine cannot list sound devices\n");
        return voxline_call::exit_refused;
    }
    // The list may change between the two calls: ask again, a few times at most.
    std::string text;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int32_t needed = library.list_devices(nullptr, 0);
        if (needed < 0) {
            std::fprintf(stderr, "voxline-call: no usable sound backend (0x%08X)\n",
                         static_cast<unsigned>(needed));
            return voxline_call::exit_refused;
        }
        text.assign(static_cast<size_t>(needed), '\0');
        if (library.list_devices(text.data(), needed) == needed) {
            text.resize(static_cast<size_t>(needed - 1));
            break;
        }
        text.clear();
    }
    std::fputs(text.c_str(), stdout);
    return voxline_call::exit_ok;
}
int signal_pipe[2] = {-1, -1};

void on_signal(int) {
    stop_requested = true;
    char wake = 1;
    [[maybe_unused]] ssize_t n = write(signal_pipe[1], &wake, 1);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace voxline_call;
    std::vector<std::string> args(argv + 1, argv + argc);
    phone_options options;
    std::string error;
    switch (parse_options(args, options, error)) {
        case parse_result::help:
            std::fputs(usage_text(), stdout);
            return exit_ok;
        case parse_result::version:
            std::printf("voxline-call %s\n", VOXLINE_CALL_VERSION);
            return exit_ok;
        case parse_result::bad:
            std::fprintf(stderr, "voxline-call: %s\nTry 'voxline-call --help'.\n", error.c_str());
            return exit_bad_options;
        case parse_result::run:
            break;
    }

    if (options.audio) {
        setenv("VOXLINE_AUDIO", options.audio->c_str(), 1);
    }
    loaded_engine library = load_engine();
    if (library.create == nullptr) {
        std::fprintf(stderr, "voxline-call: cannot load the engine: %s\n", library.error.c_str());
        return exit_refused;
    }
    if (options.list_devices) {
        return list_sound_devices(library);
    }
    ITarnwickVXL* engine = nullptr;
    int32_t created = library.create(VOXLINE_CLASS_TARNWICK_VXL, &engine);
    if (created != VXL_S_OK || engine == nullptr) {
        std::fprintf(stderr, "voxline-call: the engine refused to create %s (0x%08X)\n",
                     VOXLINE_CLASS_TARNWICK_VXL, static_cast<unsigned>(created));
        return exit_refused;
    }

    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("voxline-call: pipe");
        engine->Release();
        return exit_refused;
    }
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    output out;
    int status;
    {
        phone the_phone(engine, options, out);
        status = the_phone.run(stop_requested, signal_pipe[0]);
        // Release while the sink still exists: the engine may raise its last
        // events (the logoff's Disconnected) while it shuts down.
        engine->Release();
    }
    // The library stays loaded: its threads have ended, but unloading buys nothing.
    return status;
}
