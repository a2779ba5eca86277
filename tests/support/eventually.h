// Bounded polling, for what a test cannot be told about directly.
#pragma once

#include <chrono>
#include <thread>

namespace voxline::test {

// True as soon as done() holds; false once timeout_ms have passed without it.
template <typename Condition>
bool eventually(Condition done, int timeout_ms = 5000) {
    for (int waited = 0; !done(); waited += 10) {
        if (waited >= timeout_ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace voxline::test
