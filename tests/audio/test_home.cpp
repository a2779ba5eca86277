#include "test_home.h"

#include <fstream>
#include <sstream>

#include "support/process_temp_home.h"

namespace voxline::test {

const std::string& test_home() {
    return voxline_test::process_temp_home();
}

std::string read_engine_log() {
    std::ifstream in(test_home() + "/vxl.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace voxline::test
