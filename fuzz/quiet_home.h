// A private home for a fuzz target whose log stays off the disk: the engine
// honours a "novxllog" marker there.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

inline void make_quiet_home(const char* name) {
    std::string home = std::string("/tmp/") + name + "_XXXXXX";
    if (!mkdtemp(home.data())) return;
    setenv("VOXLINE_HOME", home.c_str(), 1);
    const int fd = open((home + "/novxllog").c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd >= 0) close(fd);
}
