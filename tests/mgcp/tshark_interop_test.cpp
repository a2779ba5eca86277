// An independent reading of the wire format: every kind of message the codec
// writes goes into a capture file, and tshark's MGCP and SDP dissectors must
// decode each with the verb, transaction id, endpoint and parameters written,
// and without any malformed-packet or error report.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mgcp/mgcp_codec.h"
#include "support/temp_home.h"

namespace voxline::test {
namespace {

// Every command kind, responses with and without parameters, and every
// parameter type that has a writer. Most are read from text and written
// again by the codec; detect events and raw text have no reader that keeps
// them, so they are built.
std::vector<std::unique_ptr<mgcp_message>> sample_messages() {
    const char* const texts[] = {
        "RQNT 1201 dialdeck-lab-client-00/0 MGCP 1.0\r\nX: 0123abcd\r\n"
        "R: L/hd(N, E(R(L/hu(N)),S(L/dl))), D/[0-9#*T](D)\r\nS: L/dl, L/ci(,5551234,Alice)\r\n"
        "D: (0T|00T|[1-7]xxx|8xxxxxxx)\r\n",
        "NTFY 1202 dialdeck-lab-client-00/0 MGCP 1.0\r\n"
        "O: Tarn/ext(201), Tarn/acct(5551234,9876), Tarn/ver(2.5.0.0)\r\n",
        "NTFY 1203 dialdeck-lab-client-00/0 MGCP 1.0\r\nO: D/5551234, L/ci(,100,Bob)\r\n",
        "CRCX 1204 dialdeck-lab-client-00/0 MGCP 1.0\r\nC: A3C47F21456789F0\r\nM: recvonly\r\n"
        "L: p: 20, b: 64, a: G.711;G.729, gc: 1, e: on, s: off\r\n\r\nv=0\r\n"
        "c=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 0\r\n",
        "MDCX 1205 dialdeck-lab-client-00/0 MGCP 1.0\r\nC: A3C47F21456789F0\r\nI: FDE234C8\r\n"
        "M: sendrecv\r\n\r\nv=0\r\nc=IN IP4 10.0.0.6\r\nm=audio 4002 RTP/AVP 18\r\n",
        "DLCX 1206 dialdeck-lab-client-00/0 MGCP 1.0\r\nI: FDE234C8\r\nE: 1f\r\n"
        "P: PS=1245, OS=62345, PR=780, OR=45123, PL=10, JI=27, LA=48\r\n",
        "RSIP 1207 dialdeck-lab-client-00/0 MGCP 1.0\r\nRM: restart\r\nRD: 0\r\n",
        "AUEP 1208 dialdeck-lab-client-00/0 MGCP 1.0\r\nZ2: aaln/1@gw.example.net\r\n",
        "200 1204\r\n\r\nv=0\r\nc=IN IP4 192.168.1.20\r\nm=audio 3400 RTP/AVP 4\r\n",
        "200 1208\r\nZ: dialdeck-lab-client-00/0\r\nI: 0\r\n",
        "200 1210\r\nK: 6234-6255, 6257\r\n",
        "401 1701\r\n",
        "500 1800\r\n",
        "502 1802\r\n",
        "510 1810\r\n",
        "512 1812\r\n",
        "513 1813\r\n",
        "518 1818\r\n",
        "528 1828\r\n",
        "200 0\r\n",  // keep-alive
    };
    std::vector<std::unique_ptr<mgcp_message>> all;
    for (const char* text : texts) {
        auto m = parse_message(text, strlen(text));
        EXPECT_TRUE(m && m->kind != MGCP_UNPARSED) << text;
        if (m) all.push_back(std::move(m));
    }

    auto aucx = create_message(MGCP_AUCX);
    aucx->transaction_id = 1209;
    strcpy(aucx->endpoint_name, "dialdeck-lab-client-00/0");
    auto detect = std::make_unique<mgcp_parameter>();
    detect->type = MGCP_PARAM_DETECT_EVENTS;
    detect->events.push_back({MGCP_PACKAGE_T, 1, false, ""});
    add_parameter(*aucx, std::move(detect));
    auto raw = std::make_unique<mgcp_parameter>();
    raw->type = MGCP_PARAM_RAW;
    raw->text = "N: ca@127.0.0.1:2727";
    add_parameter(*aucx, std::move(raw));
    all.push_back(std::move(aucx));
    return all;
}

uint16_t ip_checksum(const uint8_t* header, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2) sum += (header[i] << 8) | header[i + 1];
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

template <typename T>
void put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A classic capture file with raw IPv4 frames: gateway port 2427 to call
// agent port 2727, each datagram being the text and its NUL.
std::string capture_file(const std::vector<std::unique_ptr<mgcp_message>>& messages) {
    std::string out;
    put<uint32_t>(out, 0xa1b2c3d4);
    put<uint16_t>(out, 2);
    put<uint16_t>(out, 4);
    put<int32_t>(out, 0);
    put<uint32_t>(out, 0);
    put<uint32_t>(out, 65535);
    put<uint32_t>(out, 101);  // raw IP
    uint32_t second = 0;
    for (const auto& m : messages) {
        size_t payload = static_cast<size_t>(m->text_length) + 1;
        size_t total = 20 + 8 + payload;
        uint8_t ip_header[20] = {0x45,
                                 0,
                                 static_cast<uint8_t>(total >> 8),
                                 static_cast<uint8_t>(total),
                                 0,
                                 1,
                                 0x40,
                                 0,
                                 64,
                                 17,
                                 0,
                                 0,
                                 127,
                                 0,
                                 0,
                                 2,
                                 127,
                                 0,
                                 0,
                                 1};
        uint16_t checksum = ip_checksum(ip_header, sizeof ip_header);
        ip_header[10] = static_cast<uint8_t>(checksum >> 8);
        ip_header[11] = static_cast<uint8_t>(checksum);
        put<uint32_t>(out, ++second);
        put<uint32_t>(out, 0);
        put<uint32_t>(out, static_cast<uint32_t>(total));
        put<uint32_t>(out, static_cast<uint32_t>(total));
        out.append(reinterpret_cast<const char*>(ip_header), sizeof ip_header);
        put<uint16_t>(out, htons(2427));
        put<uint16_t>(out, htons(2727));
        put<uint16_t>(out, htons(static_cast<uint16_t>(8 + payload)));
        put<uint16_t>(out, 0);  // no UDP checksum
        out.append(m->text, payload);
    }
    return out;
}

bool tshark_present() {
    return system("command -v tshark >/dev/null 2>&1") == 0;
}

std::string run(const std::string& command_line, int* status) {
    std::string output;
    FILE* pipe = popen(command_line.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    *status = pclose(pipe);
    return output;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// One frame's lines of the verbose output.
std::vector<std::vector<std::string>> frames_of(const std::string& output) {
    std::vector<std::vector<std::string>> frames;
    for (const std::string& line : lines_of(output)) {
        if (line.rfind("Frame ", 0) == 0) frames.emplace_back();
        if (!frames.empty()) frames.back().push_back(line);
    }
    return frames;
}

bool has_line(const std::vector<std::string>& frame, const std::string& contains,
              const std::string& ends_with = "") {
    for (const std::string& line : frame) {
        if (line.find(contains) == std::string::npos) continue;
        if (line.size() >= ends_with.size() &&
            line.compare(line.size() - ends_with.size(), ends_with.size(), ends_with) == 0)
            return true;
    }
    return false;
}

TEST(tshark_interop, every_message_decodes_as_written) {
    if (!tshark_present())
        GTEST_SKIP() << "tshark is not installed (Debian package tshark; scripts/setup-deps "
                        "installs it); the interoperability check did not run";

    auto messages = sample_messages();
    for (auto& m : messages) ASSERT_TRUE(encode_message(*m)) << m->transaction_id;

    char path[] = "/tmp/mgcp_interop_XXXXXX.pcap";
    int fd = mkstemps(path, 5);
    ASSERT_GE(fd, 0);
    std::string capture = capture_file(messages);
    ASSERT_EQ(write(fd, capture.data(), capture.size()), static_cast<ssize_t>(capture.size()));
    close(fd);

    int status = -1;
    std::string output = run("tshark -n -r " + std::string(path) + " -V 2>/dev/null", &status);
    // MGCP_INTEROP_KEEP=1 keeps the capture for a look in a dissector.
    if (getenv("MGCP_INTEROP_KEEP"))
        fprintf(stderr, "capture kept: %s\n", path);
    else
        unlink(path);
    ASSERT_EQ(status, 0) << output;

    EXPECT_EQ(output.find("Malformed"), std::string::npos) << output;
    EXPECT_EQ(output.find("Expert Info (Error"), std::string::npos) << output;
    auto frames = frames_of(output);
    ASSERT_EQ(frames.size(), messages.size()) << output;

    for (size_t i = 0; i < messages.size(); ++i) {
        const mgcp_message& m = *messages[i];
        const auto& frame = frames[i];
        std::string text(m.text, m.text_length);
        SCOPED_TRACE(text);
        ASSERT_TRUE(has_line(frame, "Media Gateway Control Protocol"));
        std::string id = "Transaction ID: " + std::to_string(m.transaction_id);
        EXPECT_TRUE(has_line(frame, id, id));
        if (m.kind == MGCP_RESPONSE) {
            EXPECT_TRUE(
                has_line(frame, "Response Code: ", "(" + std::to_string(m.response_code) + ")"));
        } else {
            std::string verb = text.substr(0, 4);
            EXPECT_TRUE(has_line(frame, "    " + verb + " (")) << verb;
            EXPECT_TRUE(has_line(frame, "Endpoint: ", std::string(": ") + m.endpoint_name));
            EXPECT_TRUE(has_line(frame, "Version: MGCP 1.0"));
        }
        // Each parameter line "NAME: VALUE" shows as "... (NAME): ...VALUE";
        // the body lines as the SDP fields "(c)" and "(m)".
        auto lines = lines_of(text);
        bool body = false;
        for (size_t l = 1; l < lines.size(); ++l) {
            std::string line = lines[l];
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) {
                body = true;
                continue;
            }
            size_t split = body ? 1 : line.find(':');
            ASSERT_NE(split, std::string::npos) << line;
            std::string name = line.substr(0, split);
            std::string value = line.substr(split + (body ? 1 : 2));
            if (body && name == "v") {
                EXPECT_TRUE(has_line(frame, "Session Description Protocol Version (v): 0"));
                continue;
            }
            EXPECT_TRUE(has_line(frame, "(" + name + "): ", value)) << line;
        }
    }
}

}  // namespace
}  // namespace voxline::test
