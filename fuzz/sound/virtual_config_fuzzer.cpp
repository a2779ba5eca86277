#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sound/virtual_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    voxline::virtual_config c;
    std::string error;
    const bool ok = voxline::parse_virtual_config(
        std::string_view(reinterpret_cast<const char*>(data), size), c, error);
    if (!ok && error.empty()) std::abort();
    if (ok && c.echo && (c.echo_delay_ms < 0 || c.echo_delay_ms > 5000)) std::abort();
    if (ok && c.mic == voxline::virtual_mic_kind::tone &&
        !(c.tone_hz > 0 && c.tone_hz < 4000 && c.tone_peak >= 0 && c.tone_peak <= 32767))
        std::abort();
    return 0;
}
