// Configuration (override file, values, refusals, local address, client name, instance lock) and
// the commands of an engine that is not logged on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <tuple>

#include "core/call_control.h"
#include "core/tarnwick_vxl.h"
#include "platform/key_store.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* LOCAL_IP = "127.0.0.62";

struct arguments {
    const char* local_ip = LOCAL_IP;
    const char* call_agents = "127.0.0.1";
    int vocoder = VXL_VOCODER_G711U;
    int pack = 2;
    int nat_port = 0;
    int flags = 0;
    int reserved2 = 0;
    const char* reserved1 = nullptr;
    bool with_callback = true;
};

class ConfigureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        log_reset_for_test();
        set_process_local_ip("");
        engine = new CTarnwickVXL();
    }
    void TearDown() override {
        if (engine) engine->Release();
    }
    int32_t configure(const arguments& a = {}) {
        return engine->ConfigureCallParameters(
            a.local_ip, "5551000", "Alice", a.call_agents, 2727, 2427, a.vocoder, a.pack, 20, 60,
            40, a.with_callback ? &callback : nullptr, 0, a.nat_port, "100", "987654321", "1234",
            a.flags, 0, 0, a.reserved2, a.reserved1, nullptr);
    }
    // The configuration as the call thread will see it.
    call_control& control() {
        std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
        return *engine->control();
    }

    temp_home home;
    recording_callback callback;
    CTarnwickVXL* engine = nullptr;
};

TEST_F(ConfigureTest, OverrideFileReplacesArgumentsAndNeverShowsThePin) {
    home.write("vxl.opt",
               "iCallAgentPort=2427\r\nICALLAGENTPORT=9\n\nszCallerIDName=Bob\nszPin=99\n"
               "iFlags=0x3\niFlags=8\niSamplesPerRtpPacket=4x\n");
    ASSERT_EQ(configure(), VXL_S_OK);
    call_control& c = control();  // the later iFlags line wins: audit on
    EXPECT_EQ(std::tuple(c.remote_mgcp_port(), std::string(c.caller_name()), c.pin(), c.audit_on(),
                         c.settings().frames_per_packet),
              std::tuple(2427, "Bob", "99", true, 4));
    const std::string log = home.read("vxl.log");
    EXPECT_THAT(log, HasSubstr("]Error-- Invalid VXL.OPT value ignored [ICALLAGENTPORT=9]"));
    EXPECT_THAT(log, HasSubstr("]szPin=[**]"));
    EXPECT_THAT(log, Not(HasSubstr("1234")));
    EXPECT_THAT(log, Not(HasSubstr("=[99]")));
}

TEST_F(ConfigureTest, Defaults) {
    ASSERT_EQ(configure({.flags = VXL_FLAG_MGCP_AUDIT, .reserved2 = 0xB8}), VXL_S_OK);
    EXPECT_EQ(std::tuple(process_type_of_service(), control().nat_info_port(),
                         control().audit_timeout_s()),
              std::tuple(0xB8, 2829, 180 + 30));
    ASSERT_EQ(configure({.nat_port = 5000}), VXL_S_OK);
    EXPECT_EQ(control().nat_info_port(), 5000);
}

TEST_F(ConfigureTest, RefusalsAndTheirCodes) {
    // Vocoder, pack, result.
    const std::tuple<int, int, int32_t> cases[] = {
        {VXL_VOCODER_G711U, 3, VXL_E_INVALIDARG}, {VXL_VOCODER_G711A, 1, VXL_E_INVALIDARG},
        {VXL_VOCODER_G711U, 0, VXL_E_INVALIDARG}, {VXL_VOCODER_G729, 0, VXL_E_INVALIDARG},
        {VXL_VOCODER_G723, 0, VXL_E_INVALIDARG},  {VXL_VOCODER_G729, 251, VXL_E_INVALIDARG},
        {7, 2, VXL_E_UNSUPPORTED_VOCODER},        {VXL_VOCODER_G711U, 2, VXL_S_OK},
        {VXL_VOCODER_G729, 250, VXL_S_OK},        {VXL_VOCODER_G723, 1, VXL_S_OK},
    };
    for (const auto& [vocoder, pack, expected] : cases)
        EXPECT_EQ(configure({.vocoder = vocoder, .pack = pack}), expected)
            << vocoder << "/" << pack;
    EXPECT_EQ(configure({.with_callback = false}), VXL_E_INVALIDARG);
    EXPECT_EQ(configure({.call_agents = nullptr}), VXL_E_INVALIDARG);
}

TEST_F(ConfigureTest, UnusableLocalAddressFailsAndIsNotStoredAndABusyPortIsNoMatter) {
    // 192.0.2.1 is a documentation address, never ours; a text that cannot be
    // read must not bind to 255.255.255.255 and carry on.
    for (const char* text : {"300.1.1.1", "127.0.0.1x", "192.0.2.1"}) {
        EXPECT_EQ(configure({.local_ip = text}), static_cast<int32_t>(0x8004020D)) << text;
        EXPECT_THAT(home.read("vxl.log"), HasSubstr("]Error--Open local IP " + std::string(text) +
                                                    " failed (rc=4, socket_error="));
    }
    EXPECT_THAT(home.read("vxl.log"), Not(HasSubstr("Local IP address set to")));
    char stored[LOCAL_IP_MAX + 1];
    process_local_ip(stored);
    EXPECT_STREQ(stored, "");
    EXPECT_EQ(engine->LogonToCallAgent(), VXL_E_REQUEST_NOT_ALLOWED);

    udp_socket holder(LOCAL_IP, 3400);
    ASSERT_EQ(holder.listen_socket(0), UDP_OK);
    EXPECT_EQ(configure(), VXL_S_OK);
}

TEST_F(ConfigureTest, ClientNameFromDebugOverrideOrAddressAndOwner) {
    const auto named = [&](const char* reserved1 = nullptr) {
        EXPECT_EQ(configure({.reserved1 = reserved1}), VXL_S_OK);
        char name[CLIENT_NAME_MAX + 1];
        process_client_name(name);
        return std::string(name);
    };
    EXPECT_EQ(named("vxldebug:lab-phone"), "lab-phone");
    EXPECT_EQ(named("vxldebug:0123456789abcdefghijklmnopqrstuvwxyz"), "0123456789abcdefghijklmn");
    registry_key owner;
    ASSERT_TRUE(owner.open("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           false, false));
    ASSERT_TRUE(owner.write_string("RegisteredOwner", "Jane Q. Doe-2"));
    EXPECT_EQ(named(), "7f00003ejaneqdoe2");
    // Nothing usable in the owner: a generated one, kept for the next start.
    ASSERT_TRUE(owner.write_string("RegisteredOwner", "!!!"));
    const std::string generated = named();
    EXPECT_THAT(generated, ::testing::MatchesRegex("7f00003ex[0-9a-f]{8}"));
    EXPECT_EQ(named(), generated);
}

TEST_F(ConfigureTest, InstanceLockHeldByAnotherProcessRefusesUnlessMuxMarker) {
    engine->Release();  // our own engine must not hold the lock first
    engine = nullptr;
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        CTarnwickVXL holder;  // takes the lock at creation
        char c = 'r';
        const bool ok = write(ready[1], &c, 1) == 1 && read(done[0], &c, 1) >= 0;
        _exit(ok ? 0 : 1);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    engine = new CTarnwickVXL();
    EXPECT_EQ(configure(), VXL_E_ANOTHER_INSTANCE);
    home.write("vxl.mux", "");
    EXPECT_EQ(configure(), VXL_S_OK);
    c = 'd';
    ASSERT_EQ(write(done[1], &c, 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ConfigureTest, CommandsBeforeLogonAreRefusedOrHaveNothingToDo) {
    const int32_t refused = VXL_E_REQUEST_NOT_ALLOWED, nothing = VXL_S_NOTHING_TO_DO;
    EXPECT_EQ(std::vector<int32_t>({engine->LogonToCallAgent(), engine->Call("5551234"),
                                    engine->SendDigits("1"), engine->LogoffFromCallAgent(1),
                                    engine->Hangup(), engine->Answer()}),
              std::vector<int32_t>({refused, refused, refused, refused, nothing, nothing}));
}

TEST_F(ConfigureTest, GenericCommandsNeverTouchTheirOutArguments) {
    int32_t inout = 77;
    char inout_text[8] = "keep";
    const auto run = [&](int command) {
        return engine->GenericCommand(command, 0, 0, "1", "", &inout, inout_text);
    };
    for (int c : {0, 7, 8, 9, 11}) EXPECT_EQ(run(c), VXL_E_NOTIMPL) << c;
    for (int c : {4, 5, 10}) EXPECT_EQ(run(c), VXL_S_OK) << c;
    for (int c : {1, 2}) EXPECT_EQ(run(c), VXL_E_REQUEST_NOT_ALLOWED) << c;  // digits, no call
    EXPECT_EQ(std::tuple(inout, std::string(inout_text)), std::tuple(77, "keep"));
    EXPECT_EQ(engine->GenericCommand(7, 3, -4, nullptr, nullptr, nullptr, nullptr), VXL_E_NOTIMPL);
}

TEST_F(ConfigureTest, GetStatisticsStaysInsideTheCallersBuffer) {
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
