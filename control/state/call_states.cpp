#include "call_states.h"

#include <array>
#include <cstddef>

namespace kestrel {

namespace {

constexpr int k_call = 0;
constexpr int k_none = 1;
constexpr int k_hangup = 2;
constexpr int k_answer = 3;

constexpr std::array<int, 10> k_button_entries = {
    k_none,    // no server
    k_none,    // connecting
    k_call,    // idle
    k_hangup,  // dialing
    k_hangup,  // connected
    k_none,    // disconnecting
    k_answer,  // incoming
    k_hangup,  // busy
    k_hangup,  // invalid number
    k_none,    // answering
};

}  // namespace

int button_entry_of(int32_t state) {
    if (state < 0 || state >= static_cast<int32_t>(k_button_entries.size())) {
        return -1;
    }
    return k_button_entries[static_cast<size_t>(state)];
}

}  // namespace kestrel
