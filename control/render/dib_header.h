// The picture size a bitmap file's header claims, read before any decoding
// so an oversized skin is refused whatever the decoder makes of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kestrel {

struct dib_size {
    int64_t width = 0;
    int64_t height = 0;  // a top-down bitmap's negative height counts by its size
};

// "BM" files with the 12-byte (OS/2) header or a Windows header of 40 bytes
// or more; anything else gives nothing.
std::optional<dib_size> read_dib_size(const uint8_t* data, size_t size);

}  // namespace kestrel
