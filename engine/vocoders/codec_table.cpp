#include "vocoders/codec_table.h"

#include <array>

namespace voxline {
namespace {

constexpr std::array<codec_info, 4> k_codecs{{
    {VOCODER_G729, "g729", "Using G.729 with %d sample(s) per RTP packet", 18, 10, 10, 160, 0},
    {VOCODER_G723, "g723", "Using G.723 with %d sample(s) per RTP packet", 4, 30, 24, 480, 4},
    {VOCODER_G711U, "g711u", "Using G.711 mu-law with %d sample(s) per RTP packet", 0, 5, 40, 80,
     0},
    {VOCODER_G711A, "g711a", "Using G.711 A-law with %d sample(s) per RTP packet", 8, 5, 40, 80, 0},
}};

}  // namespace

const codec_info* find_codec(int code) {
    for (const auto& c : k_codecs)
        if (c.code == code) return &c;
    return nullptr;
}

const codec_info* find_codec_by_name(std::string_view short_name) {
    for (const auto& c : k_codecs)
        if (short_name == c.short_name) return &c;
    return nullptr;
}

}  // namespace voxline
