// Values ConfigureCallParameters leaves for the rest of the engine, one set
// per process: the local IPv4 address, the media type-of-service byte and the
// endpoint's client name.
#pragma once

#include <cstdint>

namespace voxline {

constexpr int LOCAL_IP_MAX = 15;     // characters of a dotted IPv4 address
constexpr int CLIENT_NAME_MAX = 24;  // characters of the client name

// Copies into out (at least LOCAL_IP_MAX + 1 bytes); empty until set.
void process_local_ip(char* out);
void set_process_local_ip(const char* dotted);  // keeps the first 15 characters

uint8_t process_type_of_service();
void set_process_type_of_service(uint8_t tos);

// Copies into out (at least CLIENT_NAME_MAX + 1 bytes); empty until set.
void process_client_name(char* out);
void set_process_client_name(const char* name);  // keeps the first 24 characters

}  // namespace voxline
