#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/call_control.h"
#include "core/tarnwick_vxl.h"
#include "platform/key_store.h"
#include "support/recording_callback.h"
#include "support/temp_home.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

using namespace voxline;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* LOCAL_IP = "127.0.0.62";

struct arguments {
    const char* local_ip = LOCAL_IP;
    const char* call_agents = "127.0.0.1";
    int vocoder = VXL_VOCODER_G711U;
    int pack = 2;
    int nat_port = 0;
    const char* pin = "1234";
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
    void TearDown() override { engine->Release(); }

    int32_t configure(const arguments& a = arguments()) {
        return engine->ConfigureCallParameters(
            a.local_ip, "5551000", "Alice", a.call_agents, 2727, 2427, a.vocoder, a.pack, 20, 60,
            40, a.with_callback ? &callback : nullptr, 0, a.nat_port, "100", "987654321", a.pin,
            a.flags, 0, 0, a.reserved2, a.reserved1, nullptr);
    }
    std::string log() { return home.read("vxl.log"); }
    std::string client_name() {
        char name[CLIENT_NAME_MAX + 1];
        process_client_name(name);
        return name;
    }

    voxline_test::temp_home home;
    voxline_test::recording_callback callback;
    CTarnwickVXL* engine = nullptr;
};

TEST_F(ConfigureTest, OverrideFileReplacesArgumentsAndReportsBadLines) {
    home.write("vxl.opt",
               "iCallAgentPort=2427\r\n"
               "ICALLAGENTPORT=9\n"
               "\n"
               "szCallerIDName=Bob\n"
               "szPin=99\n"
               "iFlags=0x3\n"
               "iFlags=17\n"
               "iReserved2=184\n"
               "iSamplesPerRtpPacket=4x\n");
    ASSERT_EQ(configure(), VXL_S_OK);
    const std::string text = log();
    EXPECT_THAT(text, HasSubstr("Processing configuration from response file VXL.OPT"));
    EXPECT_THAT(text, HasSubstr("] VXL.OPT overriding iCallAgentPort=2727 with 2427"));
    EXPECT_THAT(text, HasSubstr("]Error-- Invalid VXL.OPT value ignored [ICALLAGENTPORT=9]"));
    EXPECT_THAT(text, HasSubstr("]Error-- Invalid VXL.OPT value ignored []"));
    EXPECT_THAT(text, HasSubstr("] VXL.OPT overriding szCallerIDName=[Alice] with [Bob]"));
    EXPECT_THAT(text, HasSubstr("] VXL.OPT overriding szPin=[****] with [**]"));
    // "0x3" reads as 0; the later line wins; bit 2 stays as the argument had it.
    EXPECT_THAT(text, HasSubstr("] VXL.OPT overriding iFlags=0 with 0"));
    EXPECT_THAT(text, HasSubstr("]iFlags=0x11\r\n"));
    EXPECT_THAT(text, HasSubstr("] VXL.OPT overriding iReserved2=0 with 184"));
    EXPECT_THAT(text, HasSubstr("]TOSbits=[0x0]"));
    EXPECT_THAT(text, HasSubstr("]iSamplesPerRtpPacket=4\r\n"));
    EXPECT_THAT(text, HasSubstr("]iCallAgentPort=2427\r\n"));
    EXPECT_THAT(text, HasSubstr("]szPin=[**]"));
    EXPECT_THAT(text, Not(HasSubstr("1234")));
    EXPECT_THAT(text, Not(HasSubstr("=[99]")));

    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    ASSERT_NE(engine->control(), nullptr);
    EXPECT_EQ(engine->control()->remote_mgcp_port(), 2427);
    EXPECT_STREQ(engine->control()->caller_name(), "Bob");
    EXPECT_EQ(engine->control()->pin(), "99");
    EXPECT_TRUE(engine->control()->audit_on() == false);
}

TEST_F(ConfigureTest, BannerEffectiveValuesAndNatPortDefault) {
    arguments a;
    a.reserved2 = 0xB8;
    a.flags = 0x8;
    ASSERT_EQ(configure(a), VXL_S_OK);
    std::string text = log();
    for (const char* line :
         {"]Tarnwick Voxline Engine", "]   Release Version:            2.5.0.0",
          "]   DLL Name:                   Voxline.dll", "]   QOS Setting:              0xB8",
          "]szLocalIP=[127.0.0.62]", "]iCallAgentMGCPXmitPort=0 (obsolete)",
          "]iSignalStrengthIntervalInMs=0 ms(disabled)", "]szProxyIP=[(null)]",
          "]Updated iCallAgentNATInfoPort=2829", "]Local IP address set to [127.0.0.62]",
          "]CAS information not being encrypted.",
          "]Defaulting MGCP audit timeout value to 180 seconds",
          "]MGCP audit endpoint support enabled (timeout=210 sec)(re-xmit delta=30 sec)"}) {
        EXPECT_THAT(text, HasSubstr(line));
    }
    EXPECT_EQ(process_type_of_service(), 0xB8);
    {
        std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
        EXPECT_EQ(engine->control()->nat_info_port(), 2829);
        EXPECT_EQ(engine->control()->current_call_agent(), "127.0.0.1");
    }

    a.nat_port = 5000;
    a.call_agents = "127.0.0.5,127.0.0.6";
    engine->GenericCommand(VXL_COMMAND_SET_SIGNAL_STRENGTH_INTERVAL, 250, 0, nullptr, nullptr,
                           nullptr, nullptr);
    engine->GenericCommand(VXL_COMMAND_SET_PROXY, 3478, 0, "127.0.0.9", nullptr, nullptr, nullptr);
    ASSERT_EQ(configure(a), VXL_S_OK);
    text = log();
    EXPECT_THAT(text, HasSubstr("]iSignalStrengthIntervalInMs=250 ms\r\n"));
    EXPECT_THAT(text, HasSubstr("]szProxyIP=[127.0.0.9]"));
    EXPECT_THAT(text, HasSubstr("]iProxyPort=3478"));
    std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
    EXPECT_EQ(engine->control()->nat_info_port(), 5000);
    EXPECT_EQ(engine->control()->current_call_agent(), "127.0.0.5");
    EXPECT_TRUE(engine->control()->next_call_agent());
    EXPECT_EQ(engine->control()->current_call_agent(), "127.0.0.6");
    EXPECT_FALSE(engine->control()->next_call_agent());
}

TEST_F(ConfigureTest, RefusalsAndTheirCodes) {
    struct refusal {
        int vocoder, pack;
        int32_t expected;
        const char* line;
    };
    const refusal cases[] = {
        {VXL_VOCODER_G711U, 3, VXL_E_INVALIDARG,
         "Odd RTP pack count (3) not allowed when using G.711 mu-law.  Use an even RTP pack count"},
        {VXL_VOCODER_G711A, 1, VXL_E_INVALIDARG,
         "Odd RTP pack count (1) not allowed when using G.711 A-law.  Use an even RTP pack count"},
        {VXL_VOCODER_G711U, 0, VXL_E_INVALIDARG, nullptr},
        {VXL_VOCODER_G729, 0, VXL_E_INVALIDARG, nullptr},
        {VXL_VOCODER_G723, 0, VXL_E_INVALIDARG, nullptr},
        {VXL_VOCODER_G729, 251, VXL_E_INVALIDARG, nullptr},
        {7, 2, VXL_E_UNSUPPORTED_VOCODER, "Unsupported vocoder (7)"},
    };
    for (const refusal& r : cases) {
        arguments a;
        a.vocoder = r.vocoder;
        a.pack = r.pack;
        EXPECT_EQ(configure(a), r.expected) << r.vocoder << "/" << r.pack;
        if (r.line) {
            EXPECT_THAT(log(), HasSubstr(r.line));
        }
    }
    for (auto [vocoder, pack] :
         {std::pair{VXL_VOCODER_G711U, 2}, {VXL_VOCODER_G729, 250}, {VXL_VOCODER_G723, 1}}) {
        arguments a;
        a.vocoder = vocoder;
        a.pack = pack;
        EXPECT_EQ(configure(a), VXL_S_OK) << vocoder << "/" << pack;
    }
    EXPECT_THAT(log(), HasSubstr("MMX supported by processor"));

    arguments no_callback;
    no_callback.with_callback = false;
    EXPECT_EQ(configure(no_callback), VXL_E_INVALIDARG);
    arguments no_agent;
    no_agent.call_agents = nullptr;
    EXPECT_EQ(configure(no_agent), VXL_E_INVALIDARG);
}

TEST_F(ConfigureTest, LocalAddressIsTestedByBinding) {
    arguments foreign;
    foreign.local_ip = "192.0.2.1";  // documentation range: never ours
    EXPECT_EQ(configure(foreign), VXL_E_LOCAL_IP);
    EXPECT_THAT(log(), HasSubstr("]Error--Open local IP 192.0.2.1 failed (rc=4, socket_error="));
    {
        std::lock_guard<std::recursive_mutex> lock(engine->method_lock());
        EXPECT_EQ(engine->control(), nullptr);
    }
    EXPECT_EQ(engine->LogonToCallAgent(), VXL_E_REQUEST_NOT_ALLOWED);

    udp_socket holder(LOCAL_IP, 3400);
    ASSERT_EQ(holder.listen_socket(0), UDP_OK);
    EXPECT_EQ(configure(), VXL_S_OK);
    EXPECT_THAT(log(), HasSubstr("IP-address-validation local bind detected socket in use.  "
                                 "Assuming IP address valid."));
}

TEST_F(ConfigureTest, ClientNameFromDebugOverrideAddressAndOwner) {
    arguments a;
    a.reserved1 = "vxldebug:lab-phone";
    ASSERT_EQ(configure(a), VXL_S_OK);
    EXPECT_EQ(client_name(), "lab-phone");
    a.reserved1 = "vxldebug:0123456789abcdefghijklmnopqrstuvwxyz";
    ASSERT_EQ(configure(a), VXL_S_OK);
    EXPECT_EQ(client_name(), "0123456789abcdefghijklmn");

    registry_key owner;
    ASSERT_TRUE(owner.open("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           false, false));
    ASSERT_TRUE(owner.write_string("RegisteredOwner", "Jane Q. Doe-2"));
    ASSERT_EQ(configure(), VXL_S_OK);
    EXPECT_EQ(client_name(), "7f00003ejaneqdoe2");
}

// The generated owner must survive into the next process.
TEST_F(ConfigureTest, GeneratedOwnerPersistsAcrossProcesses) {
    registry_key owner;
    ASSERT_TRUE(owner.open("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           false, false));
    ASSERT_TRUE(owner.write_string("RegisteredOwner", "!!!"));  // nothing usable
    home.write("vxl.mux", "");  // our own engine holds the instance lock

    auto name_in_child = [&]() {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            log_reset_for_test();
            CTarnwickVXL child_engine;
            voxline_test::recording_callback cb;
            int32_t rc = child_engine.ConfigureCallParameters(
                LOCAL_IP, "", "", "127.0.0.1", 2727, 2427, VXL_VOCODER_G711U, 2, 20, 60, 40, &cb, 0,
                0, "", "", "", 0, 0, 0, 0, nullptr, nullptr);
            char name[CLIENT_NAME_MAX + 1] = {};
            process_client_name(name);
            std::string out = rc == 0 ? name : "failed";
            ssize_t w = write(fds[1], out.data(), out.size());
            _exit(w == static_cast<ssize_t>(out.size()) ? 0 : 1);
        }
        close(fds[1]);
        char buffer[64] = {};
        ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    };
    const std::string first = name_in_child();
    ASSERT_THAT(first, ::testing::MatchesRegex("7f00003ex[0-9a-f]{8}"));
    EXPECT_EQ(name_in_child(), first);
}

TEST_F(ConfigureTest, InstanceLockHeldByAnotherProcessRefusesUnlessMuxMarker) {
    engine->Release();  // our own engine must not hold the lock first
    engine = nullptr;
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    if (pid == 0) {
        CTarnwickVXL holder;  // takes the lock at creation
        char c = 'r';
        ssize_t w = write(ready[1], &c, 1);
        ssize_t r = read(done[0], &c, 1);
        _exit(w == 1 && r >= 0 ? 0 : 1);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    engine = new CTarnwickVXL();
    EXPECT_EQ(configure(), VXL_E_ANOTHER_INSTANCE);
    EXPECT_THAT(log(), HasSubstr("Another instance of voxline engine running.  You cannot run "
                                 "more than one instance at a time."));
    home.write("vxl.mux", "");
    EXPECT_EQ(configure(), VXL_S_OK);
    c = 'd';
    ASSERT_EQ(write(done[1], &c, 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
