// Reading and writing the minimal session description.
#include "mgcp/session_description.h"

#include <gtest/gtest.h>

#include <string>

#include "mgcp/mgcp_text.h"
#include "mgcp_test_support.h"
#include "util/udp_socket.h"

namespace voxline::test {
namespace {

TEST(session_description, reading_cases) {
    struct {
        const char* body;
        bool present;
        const char* address_text;
        const char* address;  // the value read, as dotted text ("" for none)
        uint16_t port;        // the remote port (0 for image)
        int kind;
    } cases[] = {
        {"v=0\r\nc=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n", true, "10.0.0.5", "10.0.0.5",
         4000, SESSION_AUDIO},
        {"v=0\r\nm=audio 4000 RTP/AVP 0\r\nc=IN IP4 10.0.0.5\r\n", true, "10.0.0.5", "10.0.0.5",
         4000, SESSION_AUDIO},
        {"v=0\r\no=- 1 1 IN IP4 9.9.9.9\r\ns=-\r\nc=IN IP4 172.16.1.2\r\nt=0 0\r\n"
         "m=audio 5004 RTP/AVP 18 101\r\na=rtpmap:18 G729/8000\r\n",
         true, "172.16.1.2", "172.16.1.2", 5004, SESSION_AUDIO},
        {"v=0\nc=IN IP4 10.0.0.5\nm=audio 4000 RTP/AVP 0", true, "10.0.0.5", "10.0.0.5", 4000,
         SESSION_AUDIO},
        {"v=0\r\nc=IN IP4 10.0.0.5\r\nm=image 4002 udptl t38\r\n", true, "10.0.0.5", "10.0.0.5", 0,
         SESSION_IMAGE},
        // "c=" inside another line is not a connection line.
        {"v=0\r\ns=abc=1\r\nm=audio 4000 RTP/AVP 0\r\n", false, "", "", 0, 0},
        {"v=0\r\nc=IN IP4 10.0.0.5\r\n", false, "", "", 0, 0},
        {"v=0\r\nc=IN IP4 media.example.network\r\nm=audio 4000 RTP/AVP 0\r\n", true,
         "media.example.net", "", 4000, SESSION_AUDIO},
        {"v=0\r\nc=IN IP4 10.0.0.256\r\nm=audio 70000 RTP/AVP 0\r\n", true, "10.0.0.256", "", 0,
         SESSION_AUDIO},
        {"c=\r\nm=\r\n", true, "", "", 0, SESSION_AUDIO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        auto s = read_session_description(c.body);
        ASSERT_EQ(s.has_value(), c.present);
        if (!s) continue;
        EXPECT_STREQ(s->address_text, c.address_text);
        EXPECT_EQ(session_remote_address(*s), *c.address ? ip(c.address) : 0u);
        EXPECT_EQ(session_remote_port(*s), c.port);
        EXPECT_EQ(s->media_kind, c.kind);
        if (c.kind == SESSION_IMAGE) {
            EXPECT_EQ(s->image_port, 4002);
        }
    }
}

TEST(session_description, writing_audio_and_image) {
    char buffer[128];
    mgcp_text_writer out(buffer, sizeof buffer);
    write_session_description(build_local_session(ip("192.168.2.3"), 3400, 4), out);
    EXPECT_STREQ(buffer, "v=0\r\nc=IN IP4 192.168.2.3\r\nm=audio 3400 RTP/AVP 4");

    session_description image = build_local_session(ip("192.168.2.3"), 0, 0);
    image.media_kind = SESSION_IMAGE;
    image.image_port = 4002;
    mgcp_text_writer image_out(buffer, sizeof buffer);
    write_session_description(image, image_out);
    EXPECT_STREQ(buffer, "v=0\r\nc=IN IP4 192.168.2.3\r\nm=image 4002 udptl t38");
}

}  // namespace
}  // namespace voxline::test
