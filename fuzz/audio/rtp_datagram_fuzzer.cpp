// Received datagrams through validation, the jitter buffer and the decoder.
// First byte: codec (bits 0-1), pack count choice (bits 2-3), threshold - 1
// (bits 4-6). Then datagrams, each a big-endian 16-bit length and its bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "audio/rtp_receiver.h"
#include "vocoders/vocoder.h"

namespace {
struct counting_sink : voxline::decoded_sink {
    void push_decoded(const uint8_t*) override { ++played; }
    uint32_t played = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static constexpr uint32_t PACKS[] = {1, 2, 4, 6};
    const int codec = data[0] & 0x03, pack_choice = (data[0] >> 2) & 0x03;
    static std::unique_ptr<voxline::vocoder_t> decoders[4][4];
    auto& decoder = decoders[codec][pack_choice];
    if (!decoder) decoder = voxline::create_vocoder(codec, PACKS[pack_choice]);
    if (!decoder) return 0;
    voxline::vxl_statistics stats;
    const voxline::rtp_geometry geometry =
        voxline::compute_rtp_geometry(*voxline::find_codec(codec), PACKS[pack_choice]);
    voxline::rtp_receiver receiver(geometry, *decoder, stats, [] { return int64_t{0}; });
    receiver.start(8, 1 + ((data[0] >> 4) & 0x07));
    counting_sink sink;
    uint32_t datagrams = 0;
    for (size_t at = 1; at + 2 <= size; ++datagrams) {
        const size_t length =
            std::min(static_cast<size_t>(data[at] << 8 | data[at + 1]), size - at - 2);
        receiver.handle(data + at + 2, length, sink);
        at += 2 + length;
    }
    if (stats.bad_rx.load() > datagrams || sink.played > datagrams) std::abort();
    return 0;
}
