// Any settings file: reads never fail, and a write changes exactly its key.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ini_text.h"
#include "scrambler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const dialdeck::ini_text ini(bytes);
    const std::string key = dialdeck::scramble("State");
    const auto names = ini.section_names();
    for (size_t i = 0; i < names.size() && i < 8; ++i) {
        ini.has_section(names[i]);
        ini.section_lines(names[i]);
        if (ini.read_value(names[i], key).size() > dialdeck::k_value_limit) __builtin_trap();
    }
    // A NUL byte scrambles to the key stream byte, which the scrambler then keeps.
    if (bytes.find('\0') == std::string::npos &&
        dialdeck::scramble(dialdeck::scramble(bytes)) != bytes) {
        __builtin_trap();
    }

    const std::string value = dialdeck::scramble("Ann,Lee,2195550100");
    const auto written = ini.with_value("Dialdeck", key, value);
    if (!written) __builtin_trap();  // a clean key and value are always accepted
    const dialdeck::ini_text after(*written);
    if (after.read_value("Dialdeck", key) != value) __builtin_trap();
    // Every other section reads as before.
    for (size_t i = 0; i < names.size() && i < 8; ++i) {
        if (dialdeck::equal_ignoring_ascii_case(names[i], "Dialdeck")) continue;
        if (after.section_lines(names[i]) != ini.section_lines(names[i])) __builtin_trap();
    }
    return 0;
}
