// A local address that is not ours, or a text that cannot be read (which must
// not bind to 255.255.255.255 and carry on), fails configuration.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/tarnwick_vxl.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"
#include "util/process_settings.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(UnusableLocalAddress, FailsConfigurationAndIsNotStored) {
    // 192.0.2.1 is a documentation address: never ours.
    for (const char* text : {"300.1.1.1", "127.0.0.1x", "192.0.2.1"}) {
        SCOPED_TRACE(text);
        temp_home home;
        log_reset_for_test();
        set_process_local_ip("");
        recording_callback callback;
        auto* engine = new CTarnwickVXL();
        EXPECT_EQ(engine->ConfigureCallParameters(text, "5551000", "Alice", "127.0.0.1", 2727, 2427,
                                                  VXL_VOCODER_G711U, 2, 20, 60, 40, &callback, 0, 0,
                                                  "100", "987654321", "1234", 0, 0, 0, 0, nullptr,
                                                  nullptr),
                  static_cast<int32_t>(0x8004020D));
        const std::string log = home.read("vxl.log");
        EXPECT_THAT(log, HasSubstr("]Error--Open local IP " + std::string(text) +
                                   " failed (rc=4, socket_error="));
        EXPECT_THAT(log, Not(HasSubstr("Local IP address set to")));
        char stored[LOCAL_IP_MAX + 1];
        process_local_ip(stored);
        EXPECT_STREQ(stored, "");
        EXPECT_EQ(engine->LogonToCallAgent(), VXL_E_REQUEST_NOT_ALLOWED);
        engine->Release();
    }
}

}  // namespace
}  // namespace voxline::test
