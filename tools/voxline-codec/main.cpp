// voxline-codec: runs a recording through one of the engine's codecs.
//   voxline-codec encode CODEC IN.wav OUT.raw [--pack N]
//   voxline-codec decode CODEC IN.raw OUT.wav [--pack N]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "codec_stream.h"
#include "vocoders/vocoder.h"
#include "wav_file.h"

namespace {

constexpr unsigned k_max_pack = 250;

int usage() {
    std::fprintf(stderr,
                 "usage: voxline-codec encode CODEC IN.wav OUT.raw [--pack N]\n"
                 "       voxline-codec decode CODEC IN.raw OUT.wav [--pack N]\n"
                 "CODEC: g711u, g711a, g729, g723. WAV files are 8000 Hz mono 16-bit PCM.\n"
                 "The raw stream is the concatenation of the RTP payloads, N frames each\n"
                 "(default 2 for G.711, 1 otherwise; 1..%u).\n",
                 k_max_pack);
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "voxline-codec: %s\n", message.c_str());
    return 1;
}

bool parse_pack(const char* text, unsigned& pack) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > k_max_pack) return false;
    pack = static_cast<unsigned>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace voxline;
    if (argc != 5 && argc != 7) return usage();
    const std::string_view mode = argv[1];
    if (mode != "encode" && mode != "decode") return usage();
    const codec_info* codec = find_codec_by_name(argv[2]);
    if (codec == nullptr)
        return fail(std::string("unknown codec '") + argv[2] + "' (g711u, g711a, g729, g723)");
    unsigned pack = (codec->code == VOCODER_G711U || codec->code == VOCODER_G711A) ? 2 : 1;
    if (argc == 7 && (std::string_view(argv[5]) != "--pack" || !parse_pack(argv[6], pack)))
        return fail("--pack takes a frame count from 1 to " + std::to_string(k_max_pack));
    auto vocoder = create_vocoder(codec->code, pack);
    if (!vocoder) return fail(std::string("codec ") + codec->short_name + " is not available");

    std::string error;
    if (mode == "encode") {
        std::vector<int16_t> pcm;
        if (!read_wav_file(argv[3], pcm, error)) return fail(error);
        const std::vector<uint8_t> stream = encode_stream(*vocoder, pcm);
        if (!write_binary_file(argv[4], stream.data(), stream.size(), error)) return fail(error);
        return 0;
    }
    std::vector<uint8_t> stream;
    if (!read_binary_file(argv[3], stream, error)) return fail(error);
    const decoded_stream decoded = decode_stream(*vocoder, stream);
    if (decoded.trailing_bytes != 0)
        std::fprintf(stderr,
                     "voxline-codec: warning: %zu trailing byte(s) do not make a whole frame\n",
                     decoded.trailing_bytes);
    if (!write_wav_file(argv[4], decoded.pcm, error)) return fail(error);
    return 0;
}
