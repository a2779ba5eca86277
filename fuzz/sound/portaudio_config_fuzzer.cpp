#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sound/portaudio_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    voxline::portaudio_config config;
    std::string error;
    const bool ok = voxline::parse_portaudio_config(text, config, error);
    if (!ok && error.empty()) std::abort();
    if (ok && config.rate != 0 &&
        (config.rate < voxline::k_portaudio_min_rate ||
         config.rate > voxline::k_portaudio_max_rate))
        std::abort();
    // Every accepted name came from the text.
    if (ok && (config.input_name.size() + config.output_name.size() > size)) std::abort();
    return 0;
}
