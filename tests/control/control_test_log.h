// A control log in a private file with diagnostics on, whose lines and
// console events the tests read back.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "log/control_log.h"
#include "support/temp_home.h"

namespace voxline::test {

struct captured_log {
    std::string path = process_temp_home() + "/VXLAX-" + std::to_string(++counter()) + ".log";
    kestrel::control_log log{path};
    std::vector<std::tuple<int, std::string, std::string>> console;  // level, source, text

    captured_log() {
        log.set_diagnostics(true);
        log.set_console_sink(
            [this](int32_t level, const std::string& source, const std::string& text) {
                console.emplace_back(level, source, text);
            });
    }
    std::string text() const { return read_file(path); }
    bool has_console(const std::string& text) const {
        for (const auto& [level, source, message] : console)
            if (message == text) return true;
        return false;
    }
    static int& counter() {
        static int n = 0;
        return n;
    }
};

}  // namespace voxline::test
