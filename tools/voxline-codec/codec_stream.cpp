#include "codec_stream.h"

#include <algorithm>

#include "vocoders/g723_framing.h"

namespace voxline {

std::vector<uint8_t> encode_stream(vocoder_t& vocoder, const std::vector<int16_t>& pcm) {
    const size_t packet_samples = size_t{vocoder.decoded_frame_size()} / 2 * vocoder.pack_count();
    const size_t payload_bytes = size_t{vocoder.encoded_frame_size()} * vocoder.pack_count();
    std::vector<int16_t> packet(packet_samples);
    std::vector<uint8_t> payload(payload_bytes);
    std::vector<uint8_t> stream;
    for (size_t at = 0; at < pcm.size(); at += packet_samples) {
        const size_t n = std::min(packet_samples, pcm.size() - at);
        std::fill(std::copy_n(pcm.begin() + static_cast<ptrdiff_t>(at), n, packet.begin()),
                  packet.end(), int16_t{0});
        std::fill(payload.begin(), payload.end(), uint8_t{0});
        uint32_t written = 0;
        vocoder.encode(packet.data(), static_cast<uint32_t>(packet_samples * 2), payload.data(),
                       static_cast<uint32_t>(payload_bytes), &written);
        // The engine always sends a whole payload, whatever the encoder reports.
        stream.insert(stream.end(), payload.begin(), payload.end());
    }
    return stream;
}

namespace {

// Length of the span of up to `pack` whole frames starting at `at`; 0 when none fits.
size_t next_payload(const vocoder_t& vocoder, const std::vector<uint8_t>& stream, size_t at) {
    const size_t left = stream.size() - at;
    if (vocoder.info().code == VOCODER_G723) {
        size_t span = 0;
        for (uint32_t frame = 0; frame < vocoder.pack_count() && span < left; ++frame) {
            const size_t length = g723_frame_length(stream[at + span]);
            if (length > left - span) break;
            span += length;
        }
        return span;
    }
    const size_t frame = vocoder.encoded_frame_size();
    if (vocoder.info().code == VOCODER_G711U || vocoder.info().code == VOCODER_G711A)
        return std::min(left, frame * vocoder.pack_count());
    return std::min(left / frame, size_t{vocoder.pack_count()}) * frame;
}

}  // namespace

decoded_stream decode_stream(vocoder_t& vocoder, const std::vector<uint8_t>& stream) {
    decoded_stream out;
    // Room for the most frames a payload can hold (G.723.1 silence frames are 4 bytes).
    const size_t most_frames =
        size_t{vocoder.pack_count()} *
        std::max<size_t>(
            1, vocoder.encoded_frame_size() / std::max<uint32_t>(1, vocoder.short_frame_size()));
    std::vector<int16_t> pcm(most_frames * vocoder.decoded_frame_size() / 2);
    size_t at = 0;
    while (at < stream.size()) {
        const size_t span = next_payload(vocoder, stream, at);
        if (span == 0) break;
        uint32_t written = 0;
        vocoder.decode(stream.data() + at, static_cast<uint32_t>(span), pcm.data(),
                       static_cast<uint32_t>(pcm.size() * 2), &written);
        out.pcm.insert(out.pcm.end(), pcm.begin(), pcm.begin() + written / 2);
        at += span;
    }
    out.trailing_bytes = stream.size() - at;
    return out;
}

}  // namespace voxline
