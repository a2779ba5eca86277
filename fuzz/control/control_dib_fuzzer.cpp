// A skin file's bitmap header is read before decoding to refuse oversized
// pictures. Input: the file's bytes.
#include <cstdint>
#include <cstdlib>

#include "render/dib_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto dib = kestrel::read_dib_size(data, size);
    if (dib && (dib->width < 0 || dib->height < 0 || dib->width > 2147483648LL ||
                dib->height > 2147483648LL))
        abort();
    return 0;
}
