#include "mgcp/session_description.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "mgcp/mgcp_text.h"

namespace voxline {

void write_session_description(const session_description& session, mgcp_text_writer& out) {
    out.append("v=0\r\nc=IN IP4 ");
    out.append(std::string_view(session.address_text,
                                strnlen(session.address_text, sizeof session.address_text)));
    out.append("\r\nm=");
    if (session.media_kind == SESSION_IMAGE)
        out.append_format("image %d udptl t38", session.image_port);
    else
        out.append_format("audio %d RTP/AVP %d", session.audio_port, session.payload_type);
}

// The line that starts with key ("c=" or "m="), without its line break.
static std::optional<std::string_view> find_line(std::string_view body, std::string_view key) {
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = body.substr(start, end - start);
        if (line.starts_with(key)) return line.substr(key.size());
        start = end + 1;
    }
    return std::nullopt;
}

static bool read_dotted(std::string_view text, uint8_t octets[4]) {
    uint8_t out[4];
    for (int i = 0; i < 4; ++i) {
        uint64_t value = 0;
        size_t used = 0;
        if (text.empty() || text[0] < '0' || text[0] > '9') return false;
        if (!read_unsigned(text, 10, 255, &value, &used)) return false;
        out[i] = static_cast<uint8_t>(value);
        text.remove_prefix(used);
        if (i < 3) {
            if (text.empty() || text[0] != '.') return false;
            text.remove_prefix(1);
        }
    }
    if (!trim_blanks(text).empty()) return false;
    memcpy(octets, out, 4);
    return true;
}

std::optional<session_description> read_session_description(std::string_view body) {
    auto c_line = find_line(body, "c=");
    auto m_line = find_line(body, "m=");
    if (!c_line || !m_line) return std::nullopt;

    session_description session;
    std::string_view connection = trim_blanks(*c_line);
    size_t blank = connection.find_last_of(" \t");
    std::string_view address =
        blank == std::string_view::npos ? connection : connection.substr(blank + 1);
    bounded_copy(session.address_text, sizeof session.address_text, address);
    // A name or a malformed address leaves the octets zero, which callers
    // treat as "no usable address".
    read_dotted(address, session.address);

    std::string_view media = *m_line;
    session.media_kind = !media.empty() && media[0] == 'i' ? SESSION_IMAGE : SESSION_AUDIO;
    size_t port_at = media.find_first_of(" \t");
    uint64_t port = 0;
    if (port_at != std::string_view::npos &&
        read_unsigned(media.substr(port_at), 10, 65535, &port)) {
        if (session.media_kind == SESSION_IMAGE)
            session.image_port = static_cast<uint16_t>(port);
        else
            session.audio_port = static_cast<uint16_t>(port);
    }
    return session;
}

uint32_t session_remote_address(const session_description& session) {
    uint32_t value;
    memcpy(&value, session.address, 4);
    return value;
}

uint16_t session_remote_port(const session_description& session) {
    return session.media_kind == SESSION_AUDIO ? session.audio_port : 0;
}

session_description build_local_session(uint32_t network_address, uint16_t port,
                                        uint16_t payload_type) {
    session_description session;
    memcpy(session.address, &network_address, 4);
    snprintf(session.address_text, sizeof session.address_text, "%d.%d.%d.%d", session.address[0],
             session.address[1], session.address[2], session.address[3]);
    session.media_kind = SESSION_AUDIO;
    session.audio_port = port;
    session.payload_type = payload_type;
    return session;
}

}  // namespace voxline
