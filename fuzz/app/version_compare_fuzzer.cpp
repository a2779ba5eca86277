// Version strings come from the operator's version service: the comparison
// must stay total and antisymmetric whatever the bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "version_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using dialdeck::compare_versions;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first NUL, if any, separates the two versions.
    const auto cut = bytes.find('\0');
    const std::string_view a = bytes.substr(0, cut);
    const std::string_view b = cut == std::string_view::npos ? "2.0.0.6" : bytes.substr(cut + 1);
    const int ab = compare_versions(a, b, '.', 4);
    const int ba = compare_versions(b, a, '.', 4);
    if (ab < -2 || ab > 1) abort();
    if (ab == -2 ? ba != -2 : ab != -ba) abort();
    if (ab != -2 && compare_versions(a, a, '.', 4) != 0) abort();
    return 0;
}
