// The minimal session description carried in MGCP bodies: the v=, c= and m=
// lines, enough to learn or announce one media address and port.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace voxline {

class mgcp_text_writer;

enum session_media_kind : int { SESSION_AUDIO = 0, SESSION_IMAGE = 1 };

constexpr int SESSION_ADDRESS_TEXT_SIZE = 18;

struct session_description {
    uint8_t address[4] = {};  // first octet first
    int media_kind = SESSION_AUDIO;
    uint16_t audio_port = 0;
    uint16_t payload_type = 0;
    uint16_t image_port = 0;
    char address_text[SESSION_ADDRESS_TEXT_SIZE] = {};
};

// Writes "v=0", "c=IN IP4 ..." and "m=..." (no final line break).
void write_session_description(const session_description& session, mgcp_text_writer& out);

// Reads the first "c=" and "m=" lines of body; nothing when either is missing.
std::optional<session_description> read_session_description(std::string_view body);

// The c= address in network byte order (first octet in the lowest byte of
// memory), 0 when the text was not a dotted address.
uint32_t session_remote_address(const session_description& session);
// The audio port; 0 for an image description.
uint16_t session_remote_port(const session_description& session);

// An audio description for the endpoint's own media address (network byte
// order), port and RTP payload type.
session_description build_local_session(uint32_t network_address, uint16_t port,
                                        uint16_t payload_type);

}  // namespace voxline
