#include "tool_fixture.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "wav_file.h"

namespace voxline::test {

std::string ToolTest::s_dir;

void ToolTest::SetUpTestSuite() {
    if (!s_dir.empty()) return;
    char pattern[] = "/tmp/vxl-codec-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    s_dir = made;
    setenv("VOXLINE_HOME", s_dir.c_str(), 1);
}

void ToolTest::TearDownTestSuite() {
    std::error_code ignored;
    std::filesystem::remove_all(s_dir, ignored);
    s_dir.clear();
}

run_result ToolTest::run_shell(const std::string& command) {
    const std::string errors_file = path("stderr.txt");
    const int status = std::system((command + " 2>" + errors_file).c_str());
    std::ifstream in(errors_file);
    std::ostringstream text;
    text << in.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

run_result ToolTest::run_tool(const std::string& arguments) {
    return run_shell(std::string(VOXLINE_CODEC_TOOL) + " " + arguments);
}

bool ToolTest::have_program(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<int16_t> ToolTest::round_trip(const std::string& codec, const std::string& wav,
                                          int pack) {
    const std::string pack_arg = pack > 0 ? " --pack " + std::to_string(pack) : "";
    const std::string raw = path(codec + ".raw"), out = path(codec + ".out.wav");
    const run_result enc = run_tool("encode " + codec + " " + wav + " " + raw + pack_arg);
    EXPECT_EQ(enc.exit_code, 0) << enc.errors;
    const run_result dec = run_tool("decode " + codec + " " + raw + " " + out + pack_arg);
    EXPECT_EQ(dec.exit_code, 0) << dec.errors;
    std::vector<int16_t> pcm;
    std::string error;
    if (enc.exit_code != 0 || dec.exit_code != 0 || !read_wav_file(out, pcm, error)) return {};
    return pcm;
}

std::string ToolTest::speech_wav(std::string* why) {
    for (const char* program : {"espeak-ng", "sox"}) {
        if (!have_program(program)) {
            *why = std::string(program) +
                   " is not installed (scripts/setup-deps installs it); speech checks skipped";
            return "";
        }
    }
    const std::string wide = path("speech-wide.wav"), narrow = path("speech.wav");
    const run_result spoken = run_shell(
        "espeak-ng -w " + wide +
        " 'Please call me back this afternoon. The meeting moved to Thursday at nine thirty, "
        "and bring the quarterly numbers with you.'");
    if (spoken.exit_code != 0) {
        *why = "espeak-ng failed: " + spoken.errors;
        return "";
    }
    const run_result resampled = run_shell("sox " + wide + " -r 8000 -c 1 -b 16 " + narrow);
    if (resampled.exit_code != 0) {
        *why = "sox failed: " + resampled.errors;
        return "";
    }
    return narrow;
}

}  // namespace voxline::test
