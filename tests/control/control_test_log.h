// A control log in a private file with diagnostics on, whose lines and
// console events the tests read back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "log/control_log.h"
#include "support/temp_home.h"

namespace voxline::test {

struct captured_log {
    inline static int logs = 0;
    std::string path = process_temp_home() + "/VXLAX-log-" + std::to_string(++logs) + ".log";
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
    bool has(const std::string& line) const { return text().find(line) != std::string::npos; }
    bool has_console(const std::string& text) const {
        return std::ranges::any_of(console, [&](const auto& c) { return std::get<2>(c) == text; });
    }
};

}  // namespace voxline::test
