#include "tool_fixture.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_home.h"
#include "wav_file.h"

namespace voxline::test {

namespace {

run_result run_shell(const std::string& command) {
    const std::string errors_file = path("stderr.txt");
    const int status = std::system((command + " 2>" + errors_file).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(errors_file)};
}

}  // namespace

std::string path(const std::string& name) {
    return process_temp_home() + "/" + name;
}

run_result run_tool(const std::string& arguments) {
    return run_shell(std::string(VOXLINE_CODEC_TOOL) + " " + arguments);
}

std::vector<int16_t> round_trip(const std::string& codec, const std::string& wav, int pack) {
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

}  // namespace voxline::test
