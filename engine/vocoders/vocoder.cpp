#include "vocoders/vocoder.h"

#include "util/vxl_log.h"
#include "vocoders/g711_vocoder.h"
#include "vocoders/g723_vocoder.h"
#include "vocoders/g729_vocoder.h"

namespace voxline {

std::unique_ptr<vocoder_t> create_vocoder(int code, uint32_t pack_count) {
    const codec_info* info = find_codec(code);
    if (info == nullptr || pack_count == 0) return nullptr;
    switch (info->code) {
        case VOCODER_G711U:
        case VOCODER_G711A:
            return std::make_unique<g711_vocoder>(*info, pack_count);
        case VOCODER_G729:
            return g729_vocoder::create(*info, pack_count);
        case VOCODER_G723:
            return g723_vocoder::create(*info, pack_count);
    }
    return nullptr;
}

}  // namespace voxline
