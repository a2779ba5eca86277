// What each error index weighs, whether it clears itself, and which engine
// results map to which index.
#pragma once

#include <cstdint>

namespace kestrel {

constexpr int k_no_error = -1;
constexpr int k_error_no_server_connection = 0;
constexpr int k_error_balance_low = 14;
constexpr int k_error_account_in_use = 16;
constexpr int k_error_invalid_billing = 18;
constexpr int k_error_server_refused = 20;
constexpr int k_error_no_udp_port = 21;
constexpr int k_error_no_proxy = 22;
constexpr int k_error_no_vocoder = 4;
constexpr int k_error_record_in_use = 8;
constexpr int k_error_playback_in_use = 9;
constexpr int k_error_count = 23;

struct error_kind {
    int priority;  // -1: can never become current
    bool soft;     // clears itself after the soft-error time
    bool chat;     // asks the page to open its chat session
};

// Any index outside the list weighs -1 and is neither soft nor chat.
error_kind error_kind_of(int index);

// The error index for a failed engine result; -1 for a non-negative one.
int error_index_for_result(int32_t hr);

}  // namespace kestrel
