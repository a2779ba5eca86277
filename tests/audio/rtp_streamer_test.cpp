#include "audio/rtp_streamer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "platform/sound/virtual_card_fixture.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

class RtpStreamer : public virtual_card_test_base {
  protected:
    // Each test speaks from its own loopback address: the RTP port is fixed.
    void use_address(const char* address) {
        m_local = address;
        set_process_local_ip(address);
        log_reset_for_test();
    }
    std::unique_ptr<rtp_streamer_t> make(int codec = VOCODER_G711U, uint16_t pack = 2) {
        return std::make_unique<rtp_streamer_t>("", codec, "", 0, pack, 10, 60, 40, false, false);
    }
    struct opened {
        uint32_t address = 0;
        int port = -1;
        bool error = true;
    };
    opened open(rtp_streamer_t& s) {
        opened o;
        s.open_rtp_session("127.0.0.1", 2427, false, 0, &o.address, &o.port, &o.error);
        return o;
    }
    const char* m_local = "127.0.0.1";
};

TEST_F(RtpStreamer, ATakenPortFailsTheOpenWithoutTheNatFlag) {
    use_address("127.0.31.1");
    udp_socket squatter("127.0.31.1", 3400);
    ASSERT_EQ(squatter.listen_socket(0), UDP_OK);
    auto s = make();
    const opened o = open(*s);
    EXPECT_EQ(o.port, -1);
    EXPECT_FALSE(o.error);
    EXPECT_FALSE(s->is_open()) << "the thread is joined";
    EXPECT_EQ(engine_log_count("Open local RTP port to 127.0.31.1:3400 failed (rc="), 1u);
    EXPECT_EQ(engine_log_count("Unable to find suitable local RTP port (searched 3400..3400)"), 1u);
}

TEST_F(RtpStreamer, OpensClosesAndReopensOneSessionAtATime) {
    use_address("127.0.31.2");
    auto s = make();
    bool error = false;
    EXPECT_EQ(s->enable_rtp_streamer("127.0.31.2", 4000, &error), 1);
    EXPECT_EQ(engine_log_count("Attempt to enable nonexistent RTP session."), 1u);

    const opened first = open(*s);
    EXPECT_EQ(first.port, 3400);
    EXPECT_EQ(first.address, inet_addr("127.0.31.2"));
    EXPECT_EQ(engine_log_count("RTP 127.0.31.2:3400"), 1u);
    const opened again = open(*s);
    EXPECT_EQ(again.port, -1);
    EXPECT_FALSE(again.error);
    EXPECT_TRUE(s->is_open());
    EXPECT_EQ(engine_log_count("Attempt to open RTP session while session already active"), 1u);

    s->close_rtp_session();
    EXPECT_FALSE(s->is_open());
    EXPECT_EQ(engine_log_count("Closing RTP session."), 1u);
    EXPECT_EQ(engine_log_count("RTP Tx/Rx/Bad_Rx=0/0/0"), 1u);
    s->close_rtp_session();
    EXPECT_EQ(engine_log_count("RTP session already closed."), 1u);
    EXPECT_EQ(open(*s).port, 3400) << "the port was released";
}

TEST_F(RtpStreamer, BehindANatWithoutDiscoveryTheOpenFailsFlagged) {
    use_address("127.0.31.3");
    for (const char* proxy : {"", "127.0.31.9"}) {
        SCOPED_TRACE(proxy);
        rtp_streamer_t s("", VOCODER_G711U, proxy, 5060, 2, 10, 60, 40, false, false);
        opened o;
        s.open_rtp_session("127.0.0.1", 2427, true, 0, &o.address, &o.port, &o.error);
        EXPECT_EQ(o.port, -1);
        EXPECT_TRUE(o.error);
        EXPECT_FALSE(s.is_open());
    }
    EXPECT_EQ(
        engine_log_count("We are behind a NAT and unable to get NAT information from call agent."),
        1u);
    EXPECT_EQ(engine_log_count("We are behind a NAT but unable to allocate a proxy port."), 1u);
}

}  // namespace
}  // namespace voxline::test
