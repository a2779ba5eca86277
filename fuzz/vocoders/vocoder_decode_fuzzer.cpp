// First byte: codec (low 2 bits) and pack count (next 2 bits, 1..4); the rest
// is an RTP payload handed to the decoder with the buffer the session gives it.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "vocoders/vocoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int code = data[0] & 0x03;
    const uint32_t pack = 1 + ((data[0] >> 2) & 0x03);
    static std::unique_ptr<voxline::vocoder_t> vocoders[4][4];
    auto& slot = vocoders[code][pack - 1];
    if (!slot) slot = voxline::create_vocoder(code, pack);
    if (!slot) std::abort();
    const uint32_t capacity = slot->decoded_frame_size() * pack;
    std::vector<int16_t> pcm(capacity / 2);
    uint32_t written = 0;
    slot->decode(data + 1, static_cast<uint32_t>(size - 1), pcm.data(), capacity, &written);
    if (written > capacity) std::abort();
    // Whatever came out encodes; room for one frame takes at most one.
    std::vector<uint8_t> frame(slot->encoded_frame_size());
    uint32_t encoded = 0;
    slot->encode(pcm.data(), written, frame.data(), static_cast<uint32_t>(frame.size()), &encoded);
    if (encoded > frame.size()) std::abort();
    return 0;
}
