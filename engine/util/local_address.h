// The local IPv4 address the engine speaks from when none is configured.
#pragma once

namespace voxline {

// Writes the dotted address (16 bytes) into out: the process-wide local IP
// when set; else the first non-loopback address the host name resolves to;
// else the address of the route the system would use (no packet is sent);
// else "0.0.0.0". A detected address becomes the process-wide local IP.
void detect_local_address(char* out);

}  // namespace voxline
