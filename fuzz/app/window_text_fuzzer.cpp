// The recent-number file comes from disk and the dressings from the settings
// file: any bytes parse without a crash, and what is written back reads the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "call_clock.h"
#include "dressing.h"
#include "recent_numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto numbers = dialdeck::parse_recent_numbers(bytes);
    if (numbers.size() > dialdeck::k_recent_entries) __builtin_trap();
    const std::string text = dialdeck::recent_numbers_text(numbers);
    if (text.size() > dialdeck::k_recent_file_limit) __builtin_trap();
    if (dialdeck::parse_recent_numbers(text) != numbers) __builtin_trap();
    const auto merged = dialdeck::merge_recent_numbers(numbers, bytes);
    if (merged.size() > dialdeck::k_recent_entries) __builtin_trap();

    dialdeck::parse_window_dressing(bytes);
    dialdeck::parse_button_dressing(bytes);
    dialdeck::duration_text(bytes, static_cast<long long>(size) * 3607);
    return 0;
}
