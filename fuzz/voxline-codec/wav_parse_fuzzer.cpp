#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<int16_t> samples;
    std::string error;
    const bool ok = voxline::parse_wav(data, size, samples, error);
    if (ok && samples.size() * 2 > size) std::abort();
    if (!ok && error.empty()) std::abort();
    return 0;
}
