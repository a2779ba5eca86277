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

#include "core/udp_socket.h"
#include "mgcp/mgcp_builders.h"
#include "mgcp/mgcp_codec.h"

namespace voxline {
namespace {

uint32_t ip(const char* dotted) {
    uint32_t address = 0;
    dotted_to_address(dotted, &address);
    return address;
}

std::unique_ptr<mgcp_parameter> make(mgcp_parameter_type type, const char* text = "",
                                      uint32_t number = 0) {
    auto p = std::make_unique<mgcp_parameter>();
    p->type = type;
    p->text = text;
    p->number = number;
    return p;
}

mgcp_event event(int package, int number, const char* parameter = nullptr) {
    mgcp_event e;
    e.package = package;
    e.event = number;
    if (parameter) {
        e.has_parameter = true;
        e.parameter = parameter;
    }
    return e;
}

std::unique_ptr<mgcp_message> command(int kind, uint32_t id) {
    auto m = create_message(kind);
    m->transaction_id = id;
    strcpy(m->endpoint_name, "dialdeck-lab-client-00/0");
    return m;
}

std::unique_ptr<mgcp_message> response(uint32_t code, uint32_t id) {
    auto m = create_message(MGCP_RESPONSE);
    m->response_code = code;
    m->transaction_id = id;
    return m;
}

// Every command kind, responses with and without parameters, and every
// parameter type that has a writer.
std::vector<std::unique_ptr<mgcp_message>> sample_messages() {
    std::vector<std::unique_ptr<mgcp_message>> all;

    auto rqnt = command(MGCP_RQNT, 1201);
    add_parameter(*rqnt, make(MGCP_PARAM_REQUEST_ID, "0123abcd"));
    auto requested = make(MGCP_PARAM_REQUESTED_EVENTS);
    mgcp_requested_event hd;
    hd.event = event(MGCP_PACKAGE_L, MGCP_L_HD);
    hd.actions = MGCP_ACTION_NOTIFY | MGCP_ACTION_EMBEDDED;
    hd.has_embedded_requests = true;
    mgcp_requested_event hu;
    hu.event = event(MGCP_PACKAGE_L, MGCP_L_HU);
    hu.actions = MGCP_ACTION_NOTIFY;
    hd.embedded_requests.push_back(hu);
    hd.has_embedded_signals = true;
    hd.embedded_signals = {event(MGCP_PACKAGE_L, MGCP_L_DL)};
    requested->requests.push_back(hd);
    mgcp_requested_event digits;
    digits.event = event(MGCP_PACKAGE_D, 20);
    digits.actions = MGCP_ACTION_DIGIT_MAP;
    requested->requests.push_back(digits);
    add_parameter(*rqnt, std::move(requested));
    auto signals = make(MGCP_PARAM_SIGNALS);
    signals->events = {event(MGCP_PACKAGE_L, MGCP_L_DL), caller_id_event("5551234", "Alice")};
    add_parameter(*rqnt, std::move(signals));
    add_parameter(*rqnt, make(MGCP_PARAM_DIGIT_MAP, "(0T|00T|[1-7]xxx|8xxxxxxx)"));
    auto detect = make(MGCP_PARAM_DETECT_EVENTS);
    detect->events = {event(MGCP_PACKAGE_T, 1)};
    add_parameter(*rqnt, std::move(detect));
    all.push_back(std::move(rqnt));

    auto ntfy = command(MGCP_NTFY, 1202);
    add_parameter(*ntfy, observed_events_parameter(
                             {tarn_event(MGCP_TARN_EXT, "201"),
                              tarn_pair_event(MGCP_TARN_ACCT, "5551234", "9876"),
                              tarn_event(MGCP_TARN_VER, "2.5.0.0")}));
    all.push_back(std::move(ntfy));

    auto dialled = command(MGCP_NTFY, 1203);
    add_parameter(*dialled, observed_events_parameter(
                                {digit_event("5551234"), caller_id_event("100", "Bob")}));
    all.push_back(std::move(dialled));

    auto crcx = command(MGCP_CRCX, 1204);
    add_parameter(*crcx, make(MGCP_PARAM_CALL_ID, "A3C47F21456789F0"));
    add_parameter(*crcx, make(MGCP_PARAM_MODE, "", 2));
    auto options = make(MGCP_PARAM_LOCAL_OPTIONS);
    options->options.present = MGCP_LO_PERIOD | MGCP_LO_BANDWIDTH | MGCP_LO_CODECS |
                               MGCP_LO_GAIN | MGCP_LO_ECHO | MGCP_LO_SILENCE;
    options->options.period_lo = options->options.period_hi = 20;
    options->options.bandwidth_lo = options->options.bandwidth_hi = 64;
    options->options.codec_count = 2;
    options->options.codecs[0] = 711;
    options->options.codecs[1] = 729;
    options->options.gain_control = 1;
    options->options.echo_cancellation = true;
    add_parameter(*crcx, std::move(options));
    add_parameter(*crcx, session_parameter(build_local_session(ip("10.0.0.5"), 4000, 0)));
    all.push_back(std::move(crcx));

    auto mdcx = command(MGCP_MDCX, 1205);
    add_parameter(*mdcx, make(MGCP_PARAM_CALL_ID, "A3C47F21456789F0"));
    add_parameter(*mdcx, connection_id_parameter("FDE234C8"));
    add_parameter(*mdcx, make(MGCP_PARAM_MODE, "", 3));
    add_parameter(*mdcx, session_parameter(build_local_session(ip("10.0.0.6"), 4002, 18)));
    all.push_back(std::move(mdcx));

    auto dlcx = command(MGCP_DLCX, 1206);
    add_parameter(*dlcx, connection_id_parameter("FDE234C8"));
    add_parameter(*dlcx, make(MGCP_PARAM_REASON_CODE, "", 0x1f));
    auto counters = make(MGCP_PARAM_CONNECTION_PARAMS);
    counters->counters = {1245, 62345, 780, 45123, 10, 27, 48};
    add_parameter(*dlcx, std::move(counters));
    all.push_back(std::move(dlcx));

    auto rsip = command(MGCP_RSIP, 1207);
    add_parameter(*rsip, restart_method_parameter(MGCP_RESTART_RESTART));
    add_parameter(*rsip, restart_delay_parameter(0));
    all.push_back(std::move(rsip));

    auto auep = command(MGCP_AUEP, 1208);
    add_parameter(*auep, make(MGCP_PARAM_Z2, "aaln/1@gw.example.net"));
    all.push_back(std::move(auep));

    auto aucx = command(MGCP_AUCX, 1209);
    add_parameter(*aucx, connection_id_parameter("FDE234C8"));
    add_parameter(*aucx, make(MGCP_PARAM_RAW, "N: ca@127.0.0.1:2727"));
    all.push_back(std::move(aucx));

    auto answered = response(200, 1204);
    add_parameter(*answered, session_parameter(build_local_session(ip("192.168.1.20"), 3400, 4)));
    all.push_back(std::move(answered));

    auto audit = response(200, 1208);
    add_parameter(*audit, specific_endpoint_parameter("dialdeck-lab-client-00/0"));
    add_parameter(*audit, connection_id_parameter("0"));
    all.push_back(std::move(audit));

    auto acked = response(200, 1210);
    auto ack = make(MGCP_PARAM_RESPONSE_ACK);
    ack->ranges = {{6234, 6255}, {6257, 0}};
    add_parameter(*acked, std::move(ack));
    all.push_back(std::move(acked));

    for (uint32_t code : {401u, 500u, 502u, 510u, 512u, 513u, 518u, 528u})
        all.push_back(response(code, 1300 + code));
    all.push_back(response(200, 0));  // keep-alive
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
        uint8_t ip_header[20] = {0x45, 0, static_cast<uint8_t>(total >> 8),
                                 static_cast<uint8_t>(total), 0, 1, 0x40, 0, 64, 17, 0, 0,
                                 127, 0, 0, 2, 127, 0, 0, 1};
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

bool tshark_present() { return system("command -v tshark >/dev/null 2>&1") == 0; }

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
            EXPECT_TRUE(has_line(frame, "Response Code: ",
                                 "(" + std::to_string(m.response_code) + ")"));
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
}  // namespace voxline
