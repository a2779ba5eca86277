#include "error_states.h"

#include <array>
#include <cstddef>

namespace kestrel {

namespace {

// Index 20 is shown by the status line alone, never through SetErrorState.
constexpr std::array<error_kind, k_error_count> k_errors = {{
    {17, false, false},  // 0 no server connection
    {3, true, false},    // 1 invalid number
    {4, true, false},    // 2 unknown error
    {5, true, false},    // 3 invalid state
    {9, false, true},    // 4 no vocoder support
    {10, false, true},   // 5 audio unavailable
    {15, false, false},  // 6 timers unavailable
    {11, false, true},   // 7 insufficient sound card
    {7, true, false},    // 8 record device in use
    {8, true, false},    // 9 playback device in use
    {6, false, false},   // 10 audio error
    {12, false, true},   // 11 audio in format error
    {13, false, true},   // 12 audio out format error
    {14, false, true},   // 13 MMX processor needed
    {1, false, false},   // 14 account balance low
    {2, false, false},   // 15 no LDAP connection
    {18, false, false},  // 16 account in use
    {16, false, false},  // 17 IP address error
    {19, false, false},  // 18 invalid billing info
    {22, false, false},  // 19 existing session error
    {-1, false, false},  // 20 server refused connection
    {20, false, true},   // 21 no UDP port available
    {21, false, true},   // 22 no proxy connection
}};

struct result_row {
    uint32_t hr;
    int index;
};

constexpr std::array<result_row, 14> k_results = {{
    {0x80040200, 3},
    {0x80040201, 4},
    {0x80040202, 5},
    {0x80040203, 6},
    {0x80040204, 7},
    {0x80040205, 8},
    {0x80040206, 9},
    {0x80040207, 10},
    {0x80040209, 11},
    {0x8004020A, 12},
    {0x8004020B, 13},
    {0x8004020C, 1},
    {0x8004020D, 17},
    {0x8004020E, 19},
}};

constexpr int k_unknown_error = 2;

}  // namespace

error_kind error_kind_of(int index) {
    if (index == k_no_error) {
        return {0, false, false};
    }
    if (index < 0 || index >= k_error_count) {
        return {-1, false, false};
    }
    return k_errors[static_cast<size_t>(index)];
}

int error_index_for_result(int32_t hr) {
    if (hr >= 0) {
        return k_no_error;
    }
    for (const auto& row : k_results) {
        if (row.hr == static_cast<uint32_t>(hr)) {
            return row.index;
        }
    }
    return k_unknown_error;
}

}  // namespace kestrel
