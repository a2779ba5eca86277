// Commands of an engine that is not logged on, and the generic commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/tarnwick_vxl.h"
#include "support/temp_home.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

class EngineCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        log_reset_for_test();
        engine = new CTarnwickVXL();
    }
    void TearDown() override { engine->Release(); }

    temp_home home;
    CTarnwickVXL* engine = nullptr;
};

TEST_F(EngineCommands, CommandsBeforeLogonAreRefusedOrHaveNothingToDo) {
    EXPECT_EQ(engine->LogonToCallAgent(), VXL_E_REQUEST_NOT_ALLOWED);
    EXPECT_EQ(engine->Call("5551234"), VXL_E_REQUEST_NOT_ALLOWED);
    EXPECT_EQ(engine->SendDigits("1"), VXL_E_REQUEST_NOT_ALLOWED);
    EXPECT_EQ(engine->LogoffFromCallAgent(1), VXL_E_REQUEST_NOT_ALLOWED);
    EXPECT_EQ(engine->Hangup(), VXL_S_NOTHING_TO_DO);
    EXPECT_EQ(engine->Answer(), VXL_S_NOTHING_TO_DO);
}

TEST_F(EngineCommands, GenericCommandsNeverTouchTheirOutArguments) {
    int32_t inout = 77;
    char inout_text[8] = "keep";
    const auto run = [&](int command) {
        return engine->GenericCommand(command, 0, 0, "1", "", &inout, inout_text);
    };
    for (int c : {0, 7, 8, 9, 11}) EXPECT_EQ(run(c), VXL_E_NOTIMPL) << c;
    for (int c : {4, 5, 10}) EXPECT_EQ(run(c), VXL_S_OK) << c;
    for (int c : {1, 2}) EXPECT_EQ(run(c), VXL_E_REQUEST_NOT_ALLOWED) << c;  // digits, no call
    EXPECT_EQ(inout, 77);
    EXPECT_STREQ(inout_text, "keep");
    EXPECT_EQ(engine->GenericCommand(7, 3, -4, nullptr, nullptr, nullptr, nullptr), VXL_E_NOTIMPL);
}

TEST_F(EngineCommands, GetStatisticsStaysInsideTheCallersBuffer) {
    char buffer[VOXLINE_STATISTICS_BUFFER_SIZE + 16];
    memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(engine->GetStatistics(0, 0, buffer), VXL_S_OK);
    EXPECT_LT(strlen(buffer), static_cast<size_t>(VOXLINE_STATISTICS_BUFFER_SIZE));
    EXPECT_THAT(buffer, ::testing::HasSubstr("\r\nRTP Packets Sent/Received      = "));
    for (size_t i = VOXLINE_STATISTICS_BUFFER_SIZE; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 'Z');
    EXPECT_EQ(engine->GetStatistics(0, 0, nullptr), VXL_S_OK);
}

}  // namespace
}  // namespace voxline::test
