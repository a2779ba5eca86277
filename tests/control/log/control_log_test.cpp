#include "log/control_log.h"

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
    EXPECT_TRUE(std::regex_match(c.text(),
                                 std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \(0x[0-9a-f]{4,}\) hello\n)")))
        << c.text();
    EXPECT_EQ(int(std::filesystem::status(c.path).permissions()), 0600);
}

TEST(ControlLog, LevelsConsoleEventsAndTraces) {
    captured_log c;
    c.log.set_diagnostics(false);
    for (int level : {1, 2, 4, 8}) c.log.LogMessage(level, "off " + std::to_string(level));
    c.log.set_diagnostics(true);
    c.log.LogMessage(kestrel::LOG_INFO, "on 4");
    c.log.LogMessage(kestrel::LOG_ERROR, "detect", "IP_DETECT");
    c.log.LogMessage(kestrel::LOG_TRACE, "file only");
    EXPECT_EQ(lines_of(c.text()).size(), 5u);  // not "off 4" nor "off 8"
    EXPECT_TRUE(c.has("file only"));
    using row = std::tuple<int, std::string, std::string>;
    EXPECT_EQ(c.console, (std::vector<row>{{1, "ActiveX Control", "off 1"},
                                           {2, "ActiveX Control", "off 2"},
                                           {4, "ActiveX Control", "on 4"},
                                           {1, "IP_DETECT", "detect"}}));

    // Function traces only with the flag, nested calls indented, never on the console.
    captured_log t;
    { kestrel::function_trace quiet(&t.log, "Quiet()"); }
    t.log.set_trace(true);
    {
        kestrel::function_trace outer(&t.log, "Outer(1)");
        kestrel::function_trace inner(&t.log, "Inner(a, b)");
    }
    std::vector<std::string> bodies;
    for (const auto& line : lines_of(t.text())) bodies.push_back(line.substr(line.find(") ") + 2));
    EXPECT_EQ(bodies, (std::vector<std::string>{
                          "Entering function Outer(1)",
                          " \xC2\xBB Entering function Inner(a, b)",
                          " \xC2\xBB Exiting function  Inner(a, b)",
                          "Exiting function  Outer(1)",
                      }));
    EXPECT_TRUE(t.console.empty());
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
