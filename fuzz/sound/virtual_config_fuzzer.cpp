#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sound/virtual_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    voxline::virtual_config config;
    std::string error;
    const bool ok = voxline::parse_virtual_config(text, config, error);
    if (!ok && error.empty()) std::abort();
    if (ok && config.echo && (config.echo_delay_ms < 0 || config.echo_delay_ms > 5000))
        std::abort();
    if (ok && config.mic == voxline::virtual_mic_kind::tone &&
        !(config.tone_hz > 0 && config.tone_hz < 4000 && config.tone_peak >= 0 &&
          config.tone_peak <= 32767))
        std::abort();
    return 0;
}
