// Whole recordings through one codec, as the engine would packetise them: the
// raw stream is the concatenation of the RTP payloads.
#pragma once

#include <cstdint>
#include <vector>

#include "vocoders/vocoder.h"

namespace voxline {

// The last packet is completed with silence.
std::vector<uint8_t> encode_stream(vocoder_t& vocoder, const std::vector<int16_t>& pcm);

struct decoded_stream {
    std::vector<int16_t> pcm;
    size_t trailing_bytes = 0;  // at the end, too few to make a whole frame
};

// G.723.1 streams are walked frame by frame (their frames are 24 or 4 bytes);
// the others are cut into payloads of pack count frames.
decoded_stream decode_stream(vocoder_t& vocoder, const std::vector<uint8_t>& stream);

}  // namespace voxline
