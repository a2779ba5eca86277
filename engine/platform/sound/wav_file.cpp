#include "platform/sound/wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace voxline {
namespace {

constexpr uint32_t k_rate = 8000;
constexpr uint16_t k_format_pcm = 1;
constexpr uint16_t k_format_extensible = 0xFFFE;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v));
    put16(out, static_cast<uint16_t>(v >> 16));
}

bool check_format(const uint8_t* fmt, uint32_t size, std::string& error) {
    if (size < 16) {
        error = "the WAV format chunk is too short";
        return false;
    }
    uint16_t tag = le16(fmt);
    // The extensible form names the real format in the first two bytes of its sub-format GUID.
    if (tag == k_format_extensible && size >= 26) tag = le16(fmt + 24);
    const uint16_t channels = le16(fmt + 2);
    const uint32_t rate = le32(fmt + 4);
    const uint16_t bits = le16(fmt + 14);
    if (tag != k_format_pcm || channels != 1 || rate != k_rate || bits != 16) {
        error = "unsupported WAV format (format " + std::to_string(tag) + ", " +
                std::to_string(channels) + " channel(s), " + std::to_string(rate) + " Hz, " +
                std::to_string(bits) +
                " bits); the codecs need 8000 Hz mono 16-bit PCM (for example: sox IN.wav -r 8000 "
                "-c 1 -b 16 OUT.wav)";
        return false;
    }
    return true;
}

}  // namespace

bool parse_wav(const uint8_t* image, size_t size, std::vector<int16_t>& samples,
               std::string& error) {
    samples.clear();
    if (size < 12 || std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool have_format = false;
    size_t pos = 12;
    while (size - pos >= 8) {
        const uint8_t* chunk = image + pos;
        const size_t available = size - pos - 8;
        // A streaming writer may leave the length open (0xFFFFFFFF): take what is there.
        const size_t length = std::min<size_t>(le32(chunk + 4), available);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (!check_format(chunk + 8, static_cast<uint32_t>(length), error)) return false;
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!have_format) {
                error = "the WAV data chunk comes before its format chunk";
                return false;
            }
            samples.resize(length / 2);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<int16_t>(le16(chunk + 8 + 2 * i));
            return true;
        }
        pos += 8 + length + (length & 1);
        if (pos > size) break;
    }
    error = have_format ? "the WAV file has no data chunk" : "the WAV file has no format chunk";
    return false;
}

bool read_binary_file(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f.get())) > 0)
        bytes.insert(bytes.end(), block, block + n);
    if (std::ferror(f.get())) {
        error = path + ": read error";
        return false;
    }
    return true;
}

bool write_binary_file(const std::string& path, const uint8_t* bytes, size_t size,
                       std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (std::fwrite(bytes, 1, size, f.get()) != size || std::fflush(f.get()) != 0) {
        error = path + ": write error";
        return false;
    }
    return true;
}

bool read_wav_file(const std::string& path, std::vector<int16_t>& samples, std::string& error) {
    std::vector<uint8_t> image;
    if (!read_binary_file(path, image, error)) return false;
    if (!parse_wav(image.data(), image.size(), samples, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool write_wav_file(const std::string& path, const std::vector<int16_t>& samples,
                    std::string& error) {
    const size_t data_bytes = samples.size() * 2;
    if (data_bytes > 0xFFFFFFFFu - 36) {
        error = path + ": too much audio for one WAV file";
        return false;
    }
    std::vector<uint8_t> out;
    out.reserve(44 + data_bytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, static_cast<uint32_t>(36 + data_bytes));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, k_format_pcm);
    put16(out, 1);
    put32(out, k_rate);
    put32(out, k_rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, static_cast<uint32_t>(data_bytes));
    for (int16_t s : samples) put16(out, static_cast<uint16_t>(s));
    return write_binary_file(path, out.data(), out.size(), error);
}

}  // namespace voxline
