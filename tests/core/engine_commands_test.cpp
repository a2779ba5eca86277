#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/tarnwick_vxl.h"
#include "support/temp_home.h"
#include "util/vxl_log.h"

using namespace voxline;
using ::testing::HasSubstr;

namespace {

class EngineCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        log_reset_for_test();
        engine = new CTarnwickVXL();
    }
    void TearDown() override { engine->Release(); }
    std::string log() { return home.read("vxl.log"); }

    voxline_test::temp_home home;
    CTarnwickVXL* engine = nullptr;
};

TEST_F(EngineCommands, CommandsBeforeLogonAreRefusedWithTheirLines) {
    struct expectation {
        int32_t rc;
        const char* trace;
        const char* line;
    };
    const expectation expected[] = {
        {engine->LogonToCallAgent(), "]Inside LogonToCallAgent",
         "]Application invoked LogonToCallAgent () while already logged on."},
        {engine->Call("5551234"), "]Inside Call",
         "]Application invoked Call () while not logged into call agent."},
        {engine->SendDigits("1"), "]Inside SendDigits",
         "]Application attempted to send digits while no call in progress"},
        {engine->LogoffFromCallAgent(1), "]Inside LogoffFromCallAgent",
         "]Application invoked LogoffFromCallAgent () while not logged on."},
    };
    const std::string text = log();
    for (const expectation& e : expected) {
        EXPECT_EQ(e.rc, VXL_E_REQUEST_NOT_ALLOWED) << e.line;
        EXPECT_THAT(text, HasSubstr(e.trace));
        EXPECT_THAT(text, HasSubstr(e.line));
    }
}

TEST_F(EngineCommands, HangupAndAnswerWithoutACallThreadHaveNothingToDo) {
    EXPECT_EQ(engine->Hangup(), VXL_S_NOTHING_TO_DO);
    EXPECT_EQ(engine->Answer(), VXL_S_NOTHING_TO_DO);
    EXPECT_THAT(log(),
                HasSubstr("]Application invoked Hangup () invoked while no call in progress."));
    EXPECT_THAT(
        log(),
        HasSubstr("]Application invoked Answer () while call control thread is not active."));
}

TEST_F(EngineCommands, GenericCommandsNotImplementedAndUnknown) {
    struct expectation {
        int command;
        int32_t rc;
        const char* line;
    };
    const expectation cases[] = {
        {7, VXL_E_NOTIMPL,
         "VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_SAMPLE_SIZE_IN_MS not implemented"},
        {8, VXL_E_NOTIMPL,
         "VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_BUFFER_POOL_SIZE_IN_MS not implemented"},
        {9, VXL_E_NOTIMPL, "VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_QUEUE_SIZE_IN_MS not implemented"},
        {11, VXL_E_NOTIMPL, "Unsupported GenericCommand (11) not processed."},
        {0, VXL_E_NOTIMPL, "Unsupported GenericCommand (0) not processed."},
        {4, VXL_S_OK, "Inside GenericCommand (4,0,0)"},
        {5, VXL_S_OK, "Set echo canceller delay to 0 ms"},
        {10, VXL_S_OK, "Inside GenericCommand (10,0,0)"},
        {1, VXL_E_REQUEST_NOT_ALLOWED, "Inside SendDigits"},
        {2, VXL_E_REQUEST_NOT_ALLOWED, "Inside GenericCommand (2,0,0)"},
    };
    int32_t inout = 77;
    char inout_text[8] = "keep";
    for (const expectation& c : cases) {
        EXPECT_EQ(engine->GenericCommand(c.command, 0, 0, "1", "", &inout, inout_text), c.rc)
            << c.command;
        EXPECT_THAT(log(), HasSubstr(c.line));
    }
    EXPECT_EQ(inout, 77);
    EXPECT_STREQ(inout_text, "keep");
    engine->GenericCommand(7, 3, -4, nullptr, nullptr, nullptr, nullptr);
    EXPECT_THAT(log(), HasSubstr("]Inside GenericCommand (7,3,-4)"));
}

TEST_F(EngineCommands, GetStatisticsStaysInsideTheCallersBuffer) {
    char buffer[VOXLINE_STATISTICS_BUFFER_SIZE + 16];
    memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(engine->GetStatistics(0, 0, buffer), VXL_S_OK);
    EXPECT_LT(strlen(buffer), static_cast<size_t>(VOXLINE_STATISTICS_BUFFER_SIZE));
    EXPECT_THAT(buffer, HasSubstr("\r\nRTP Packets Sent/Received      = "));
    for (size_t i = VOXLINE_STATISTICS_BUFFER_SIZE; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 'Z');
    EXPECT_EQ(engine->GetStatistics(0, 0, nullptr), VXL_S_OK);
}

TEST_F(EngineCommands, ReferenceCountingStartsAtOne) {
    EXPECT_EQ(engine->AddRef(), 2u);
    EXPECT_EQ(engine->Release(), 1u);
}

}  // namespace
