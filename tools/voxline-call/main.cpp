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

    loaded_engine library = load_engine();
    if (library.create == nullptr) {
        std::fprintf(stderr, "voxline-call: cannot load the engine: %s\n", library.error.c_str());
        return exit_refused;
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
