// The codec table: one row per codec with its wire and frame geometry.
#pragma once

#include <cstdint>
#include <string_view>

namespace voxline {

// Internal codec numbers (they differ from the public vocoder enumeration).
enum vocoder_code : int {
    VOCODER_G729 = 0,
    VOCODER_G723 = 1,
    VOCODER_G711U = 2,
    VOCODER_G711A = 3,
};

struct codec_info {
    vocoder_code code;
    const char* short_name;  // as the voxline-codec tool names it
    const char* log_format;  // logged with the pack count when a session picks it
    uint8_t payload_type;    // RTP payload type
    uint32_t frame_ms;
    uint32_t encoded_frame_bytes;
    uint32_t decoded_frame_bytes;
    uint32_t short_frame_bytes;  // 0: the codec has no short frame
};

// nullptr for a code or name outside the table.
const codec_info* find_codec(int code);
const codec_info* find_codec_by_name(std::string_view short_name);

}  // namespace voxline
