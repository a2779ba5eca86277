#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sound/portaudio_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    voxline::portaudio_config c;
    std::string error;
    const bool ok = voxline::parse_portaudio_config(
        std::string_view(reinterpret_cast<const char*>(data), size), c, error);
    if (!ok && error.empty()) std::abort();
    if (ok && c.rate != 0 &&
        (c.rate < voxline::k_portaudio_min_rate || c.rate > voxline::k_portaudio_max_rate))
        std::abort();
    // Every accepted name came from the text.
    if (ok && c.input_name.size() + c.output_name.size() > size) std::abort();
    return 0;
}
