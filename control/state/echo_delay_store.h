// The echo delay an earlier tuning stored in the key store, read once when a
// control is built.
#pragma once

#include <cstdint>

namespace kestrel {

// The stored delay in ms, or -1 when none is stored.
int32_t stored_echo_delay();

}  // namespace kestrel
