// Every test binary logs into its own temporary engine directory.
#pragma once

#include <string>

namespace voxline::test {

const std::string& test_home();
// The whole of vxl.log as written so far.
std::string read_engine_log();

}  // namespace voxline::test
