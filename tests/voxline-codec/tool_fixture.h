// Runs voxline-codec in a private temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace voxline::test {

struct run_result {
    int exit_code;
    std::string errors;  // what the command wrote to standard error
};

class ToolTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    static const std::string& dir() { return s_dir; }
    static std::string path(const std::string& name) { return s_dir + "/" + name; }

    // `arguments` are passed to the tool as they stand (no shell quoting needed in the temp dir).
    static run_result run_tool(const std::string& arguments);
    static run_result run_shell(const std::string& command);
    static bool have_program(const char* name);

    // Encodes and decodes `wav` through `codec`; the decoded audio, or empty on failure.
    static std::vector<int16_t> round_trip(const std::string& codec, const std::string& wav,
                                           int pack = 0);

    // A few seconds of speech at 8 kHz made with espeak-ng and sox, or "" with
    // *why set when they are missing.
    static std::string speech_wav(std::string* why);

  private:
    static std::string s_dir;
};

}  // namespace voxline::test
