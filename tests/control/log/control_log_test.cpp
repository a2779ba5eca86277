#include "log/control_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>
#include <thread>

#include "control/control_test_log.h"

namespace voxline::test {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ControlLog, LineFormatClockAndPrivateFile) {
    captured_log c;
    const auto origin = kestrel::control_log::clock::now();
    c.log.set_clock_origin(((23 * 60 + 59) * 60 + 59) * 1000LL + 998, origin);
    EXPECT_EQ(c.log.timestamp(origin).substr(0, 13), "23:59:59.998 ");
    // Past midnight the hours wrap.
    EXPECT_EQ(c.log.timestamp(origin + std::chrono::milliseconds(3)).substr(0, 13),
              "00:00:00.001 ");
    c.log.LogMessage(kestrel::LOG_ALWAYS, "hello");
    const auto lines = lines_of(c.text());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \(0x[0-9a-f]{4,}\) hello)")))
        << lines[0];
    struct stat st {};
    ASSERT_EQ(stat(c.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(ControlLog, LevelsAndConsoleEvents) {
    captured_log c;
    c.log.set_diagnostics(false);
    for (int level : {1, 2, 4, 8}) c.log.LogMessage(level, "off " + std::to_string(level));
    c.log.set_diagnostics(true);
    c.log.LogMessage(kestrel::LOG_INFO, "on 4");
    c.log.LogMessage(kestrel::LOG_ERROR, "detect", "IP_DETECT");
    c.log.LogMessage(kestrel::LOG_TRACE, "file only");
    const std::string text = c.text();
    for (const char* written : {"off 1", "off 2", "on 4", "detect", "file only"})
        EXPECT_NE(text.find(written), std::string::npos) << written;
    for (const char* dropped : {"off 4", "off 8"})
        EXPECT_EQ(text.find(dropped), std::string::npos) << dropped;
    using row = std::tuple<int, std::string, std::string>;
    EXPECT_EQ(c.console, (std::vector<row>{{1, "ActiveX Control", "off 1"},
                                           {2, "ActiveX Control", "off 2"},
                                           {4, "ActiveX Control", "on 4"},
                                           {1, "IP_DETECT", "detect"}}));
}

TEST(ControlLog, TraceIndentsNestedCallsOnlyWithTheFlag) {
    captured_log c;
    { kestrel::function_trace quiet(&c.log, "Quiet()"); }
    c.log.set_trace(true);
    {
        kestrel::function_trace outer(&c.log, "Outer(1)");
        kestrel::function_trace inner(&c.log, "Inner(a, b)");
    }
    std::vector<std::string> bodies;
    for (const auto& line : lines_of(c.text())) bodies.push_back(line.substr(line.find(") ") + 2));
    EXPECT_EQ(bodies, (std::vector<std::string>{
                          "Entering function Outer(1)",
                          " \xC2\xBB Entering function Inner(a, b)",
                          " \xC2\xBB Exiting function  Inner(a, b)",
                          "Exiting function  Outer(1)",
                      }));
    EXPECT_TRUE(c.console.empty());
}

TEST(ControlLog, TwoThreadsWriteWholeLines) {
    captured_log c;
    c.log.set_console_sink(nullptr);
    constexpr int PER_THREAD = 300;
    auto writer = [&](char tag) {
        for (int i = 0; i < PER_THREAD; ++i)
            c.log.LogMessage(kestrel::LOG_ALWAYS, std::string(60, tag) + std::to_string(i));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    const auto lines = lines_of(c.text());
    ASSERT_EQ(lines.size(), 2u * PER_THREAD);
    for (const auto& line : lines)
        ASSERT_TRUE(std::regex_match(line, std::regex(R"(.{13}\(0x[0-9a-f]+\) (a{60}|b{60})\d+)")))
            << line;
}

}  // namespace
}  // namespace voxline::test
