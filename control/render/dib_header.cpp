#include "render/dib_header.h"

namespace kestrel {

namespace {

uint32_t little_endian(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

}  // namespace

std::optional<dib_size> read_dib_size(const uint8_t* data, size_t size) {
    constexpr size_t FILE_HEADER = 14;
    if (size < FILE_HEADER + 4 || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    const uint32_t header = little_endian(data + FILE_HEADER, 4);
    const uint8_t* fields = data + FILE_HEADER + 4;
    if (header == 12 && size >= FILE_HEADER + 8)
        return dib_size{little_endian(fields, 2), little_endian(fields + 2, 2)};
    if (header >= 40 && size >= FILE_HEADER + 12) {
        const auto width = static_cast<int32_t>(little_endian(fields, 4));
        const auto height = static_cast<int32_t>(little_endian(fields + 4, 4));
        return dib_size{width < 0 ? -int64_t{width} : width,
                        height < 0 ? -int64_t{height} : height};
    }
    return std::nullopt;
}

}  // namespace kestrel
