// The endpoint's client name: eight hex digits of the local address followed
// by the machine's owner name, at most 24 characters.
#pragma once

namespace voxline {

// Computes the name from the client-name override (szReserved1, may be null)
// and stores it as the process-wide client name.
void compute_client_name(const char* override_text);

}  // namespace voxline
