// Spoken sentences for the echo benchmark, from espeak-ng.
#pragma once

#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace voxline::test {

// espeak-ng's voice at 8 kHz (sox resamples), scaled to an RMS of `rms`;
// empty without espeak-ng or sox.
inline std::vector<int16_t> spoken(const char* text, double rms) {
    const std::string command = std::string("espeak-ng --stdout -s 150 \"") + text +
                                "\" 2>/dev/null | sox -t wav - -t raw -r 8000 -e signed -b 16 "
                                "-c 1 - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::vector<int16_t> out;
    int16_t chunk[2048];
    for (size_t n; (n = fread(chunk, 2, 2048, pipe)) > 0;) out.insert(out.end(), chunk, chunk + n);
    if (pclose(pipe) != 0 || out.empty()) return {};
    double power = 0;
    for (double s : out) power += s * s;
    if (power <= 0) return {};
    const double scale = rms / std::sqrt(power / out.size());
    for (int16_t& s : out)
        s = static_cast<int16_t>(std::lround(std::clamp(s * scale, -32768.0, 32767.0)));
    return out;
}

inline std::vector<int16_t> repeat(const std::vector<int16_t>& s, size_t length) {
    std::vector<int16_t> out(length);
    for (size_t i = 0; i < length; ++i) out[i] = s[i % s.size()];
    return out;
}

}  // namespace voxline::test
