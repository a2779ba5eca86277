#include "audio/rtp_streamer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/vxl_statistics.h"
#include "platform/sound/virtual_card_fixture.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline::test {
namespace {

// One datagram within timeout_ms on the far end's socket, or an empty vector.
std::vector<uint8_t> receive(udp_socket& far, int timeout_ms = 2000) {
    std::vector<uint8_t> data(8192);
    int length = static_cast<int>(data.size());
    far.read_socket_timeout(data.data(), &length, nullptr, 0, timeout_ms);
    data.resize(static_cast<size_t>(length));
    return data;
}

uint16_t sequence_of(const std::vector<uint8_t>& p) {
    return static_cast<uint16_t>(p[2] << 8 | p[3]);
}
uint32_t timestamp_of(const std::vector<uint8_t>& p) {
    return uint32_t{p[4]} << 24 | uint32_t{p[5]} << 16 | uint32_t{p[6]} << 8 | p[7];
}

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

TEST_F(RtpStreamer, ConstructionLogsItsSizesPerCodecAndPack) {
    struct row {
        int codec;
        uint16_t pack;
        std::vector<std::string> lines;
    };
    const row rows[] = {
        {VOCODER_G711U,
         2,
         {"Using G.711 mu-law with 2 sample(s) per RTP packet", "RTP packet rate = 10 ms",
          "Encoded RTP packet sizes:  single sample = 40 bytes, packed sample = 80 bytes",
          "Decoded RTP packet sizes:  single sample = 80 bytes, packed sample = 160 bytes",
          "RTP timestamp delta = 0x50", "Jitter buffer size = 6 elements (60 ms)",
          "Jitter buffer threshold = 4 elements (40 ms)", "Echo cancellation disabled"}},
        {VOCODER_G711U,
         1,
         {"RTP sample rate (5 ms) is not an even multiple of the timer interval (10 ms)"}},
        {7,
         1,
         {"Unsupported vocoder (7).  Defaulting to another vocoder.",
          "Using G.723 with 1 sample(s) per RTP packet"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.lines.front());
        temp_home home;
        auto s = make(r.codec, r.pack);
        for (const std::string& line : r.lines) EXPECT_EQ(engine_log_count(line), 1u) << line;
    }
}

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

TEST_F(RtpStreamer, SendsNumberedPacketsAndKeepsNumberingOnRedirect) {
    select("mic=tone:1000,speaker=discard", false);
    use_address("127.0.31.4");
    udp_socket far("127.0.31.4", 4000), moved("127.0.31.4", 4002);
    ASSERT_EQ(far.listen_socket(0), UDP_OK);
    ASSERT_EQ(moved.listen_socket(0), UDP_OK);
    auto s = make(VOCODER_G711U, 2);
    ASSERT_EQ(open(*s).port, 3400);
    bool error = true;
    ASSERT_EQ(s->enable_rtp_streamer("127.0.31.4", 4000, &error), 0);
    EXPECT_FALSE(error);

    std::vector<std::vector<uint8_t>> packets;
    for (int i = 0; i < 5; ++i) packets.push_back(receive(far));
    ASSERT_EQ(s->enable_rtp_streamer("127.0.31.4", 4002, &error), 0);
    EXPECT_EQ(engine_log_count("Redirect RTP stream to 127.0.31.4:4002"), 1u);
    const std::vector<uint8_t> after = receive(moved);
    s->close_rtp_session();

    for (size_t i = 0; i < packets.size(); ++i) {
        const std::vector<uint8_t>& p = packets[i];
        ASSERT_EQ(p.size(), 92u) << "12-byte header and 80 bytes of mu-law";
        EXPECT_EQ(p[0], 0x80);
        EXPECT_EQ(p[1], 0) << "payload type 0";
        EXPECT_EQ(std::vector<uint8_t>(p.begin() + 8, p.begin() + 12),
                  std::vector<uint8_t>(packets[0].begin() + 8, packets[0].begin() + 12));
        if (i == 0) continue;
        EXPECT_EQ(sequence_of(p), static_cast<uint16_t>(sequence_of(packets[i - 1]) + 1));
        EXPECT_EQ(timestamp_of(p) - timestamp_of(packets[i - 1]), 80u);
    }
    ASSERT_EQ(after.size(), 92u);
    const uint16_t step = static_cast<uint16_t>(sequence_of(after) - sequence_of(packets[4]));
    EXPECT_GE(step, 1);
    EXPECT_LT(step, 100) << "the redirect goes on with the same numbering";
    EXPECT_EQ(timestamp_of(after) - timestamp_of(packets[4]), 80u * step);
}

TEST_F(RtpStreamer, ReceivedJunkIsCountedAndTheStreamGoesOn) {
    select("mic=silence,speaker=discard", false);
    use_address("127.0.31.5");
    udp_socket far("127.0.31.5", 4000), session("127.0.31.5", 3400);
    ASSERT_EQ(far.listen_socket(0), UDP_OK);
    auto s = make(VOCODER_G711U, 2);
    ASSERT_EQ(open(*s).port, 3400);
    bool error = false;
    ASSERT_EQ(s->enable_rtp_streamer("127.0.31.5", 4000, &error), 0);
    const std::vector<std::vector<uint8_t>> junk = {
        {}, {0x80, 0, 0}, {0x40, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, std::vector<uint8_t>(12, 0x8F)};
    for (const auto& j : junk) far.write_socket_block(j.data(), j.size(), &session.address());
    // The far end's own packets come back to the session: 20 good ones.
    for (int i = 0; i < 20; ++i) {
        std::vector<uint8_t> p = receive(far);
        ASSERT_EQ(p.size(), 92u);
        far.write_socket_block(p.data(), p.size(), &session.address());
    }
    for (int i = 0; i < 200 && process_statistics().rtp_rx.load() < 24; ++i) receive(far, 10);
    s->close_rtp_session();
    const vxl_statistics_snapshot st = snapshot_statistics();
    EXPECT_EQ(st.rtp_rx, 24u);
    EXPECT_EQ(st.bad_rx, 4u);
    EXPECT_GE(st.rtp_tx, 20u);
    EXPECT_EQ(st.missed_rtp, 0u) << "the first played packet starts a run";
}

}  // namespace
}  // namespace voxline::test
