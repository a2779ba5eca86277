// An independent reading of the wire format: every kind of message the codec
// writes goes into a capture file, and tshark's MGCP and SDP dissectors must
// decode each with the verb, transaction id, endpoint and parameters written,
// and without any malformed-packet or error report.
#include <arpa/inet.h>
#include <gtest/gtest.h>

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
        "510 1810\r\n",
        "528 1828\r\n",
        "200 0\r\n"  // the last a keep-alive
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

template <typename T>
void put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A classic capture file with raw IPv4 frames: gateway port 2427 to call
// agent port 2727, each datagram being the text and its NUL.
std::string capture_file(const std::vector<std::unique_ptr<mgcp_message>>& messages) {
    std::string out;
    for (uint32_t word : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 101u /* raw IP */})
        put(out, word);
    uint32_t second = 0;
    for (const auto& m : messages) {
        const size_t payload = static_cast<size_t>(m->text_length) + 1, total = 28 + payload;
        uint8_t ip[20] = {0x45, 0, uint8_t(total >> 8), uint8_t(total), 0, 1, 0x40, 0, 64, 17};
        const uint8_t addresses[] = {127, 0, 0, 2, 127, 0, 0, 1};
        memcpy(ip + 12, addresses, sizeof addresses);
        uint32_t sum = 0;
        for (size_t i = 0; i < sizeof ip; i += 2) sum += (ip[i] << 8) | ip[i + 1];
        while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
        ip[10] = uint8_t(~sum >> 8);
        ip[11] = uint8_t(~sum);
        for (uint32_t word : {++second, 0u, uint32_t(total), uint32_t(total)}) put(out, word);
        out.append(reinterpret_cast<const char*>(ip), sizeof ip);
        for (uint16_t half : {2427, 2727, int(8 + payload), 0 /* no UDP checksum */})
            put(out, htons(half));
        out.append(m->text, payload);
    }
    return out;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool has_line(const std::vector<std::string>& frame, const std::string& contains,
              const std::string& ends_with = "") {
    for (const std::string& line : frame)
        if (line.find(contains) != std::string::npos && line.ends_with(ends_with)) return true;
    return false;
}

TEST(tshark_interop, every_message_decodes_as_written) {
    if (system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark is not installed (Debian package tshark; scripts/setup-deps "
                        "installs it); the interoperability check did not run";

    auto messages = sample_messages();
    for (auto& m : messages) ASSERT_TRUE(encode_message(*m)) << m->transaction_id;

    const std::string path = process_temp_home() + "/mgcp_interop.pcap";
    std::ofstream(path, std::ios::binary) << capture_file(messages);
    std::string output;
    FILE* pipe = popen(("tshark -n -r " + path + " -V 2>/dev/null").c_str(), "r");
    ASSERT_TRUE(pipe);
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0) << output;
    EXPECT_EQ(output.find("Malformed"), std::string::npos) << output;
    EXPECT_EQ(output.find("Expert Info (Error"), std::string::npos) << output;

    std::vector<std::vector<std::string>> frames;  // the verbose lines of each frame
    for (const std::string& line : lines_of(output)) {
        if (line.starts_with("Frame ")) frames.emplace_back();
        if (!frames.empty()) frames.back().push_back(line);
    }
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
