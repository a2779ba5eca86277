// Runs voxline-codec with its files in the process's private directory.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace voxline::test {

struct run_result {
    int exit_code;
    std::string errors;  // what the command wrote to standard error
};

// A file in the private directory.
std::string path(const std::string& name);

// The tool with these arguments (no shell quoting needed in the private directory).
run_result run_tool(const std::string& arguments);

// Encodes and decodes `wav` through `codec`; the decoded audio, or empty on failure.
std::vector<int16_t> round_trip(const std::string& codec, const std::string& wav, int pack = 0);

}  // namespace voxline::test
