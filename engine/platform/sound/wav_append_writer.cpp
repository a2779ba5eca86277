#include "platform/sound/wav_append_writer.h"

#include <cerrno>
#include <cstring>

namespace voxline {
namespace {

constexpr long k_header_bytes = 44;
constexpr uint32_t k_max_data_bytes = 0xFFFFFFFFu - 36;

void put16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value));
    put16(out + 2, static_cast<uint16_t>(value >> 16));
}

void make_header(uint8_t* header, uint32_t data_bytes) {
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, 36 + data_bytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, 1);      // linear PCM
    put16(header + 22, 1);      // mono
    put32(header + 24, 8000);   // samples per second
    put32(header + 28, 16000);  // bytes per second
    put16(header + 32, 2);      // block alignment
    put16(header + 34, 16);     // bits per sample
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, data_bytes);
}

}  // namespace

bool wav_append_writer::open(const std::string& path, bool create, std::string& error) {
    close();
    long size = 0;
    if (!create) {
        m_file = std::fopen(path.c_str(), "r+b");
        if (m_file && (std::fseek(m_file, 0, SEEK_END) != 0 || (size = std::ftell(m_file)) < 0)) {
            std::fclose(m_file);
            m_file = nullptr;
        }
    }
    // A file that is gone, or too short to be ours, starts again.
    if (m_file == nullptr || size < k_header_bytes) {
        if (m_file) std::fclose(m_file);
        m_file = std::fopen(path.c_str(), "w+b");
        size = k_header_bytes;
    }
    if (m_file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const long data = size - k_header_bytes;
    m_data_bytes = data > static_cast<long>(k_max_data_bytes) ? k_max_data_bytes
                                                              : static_cast<uint32_t>(data & ~1L);
    if (!update_header()) {
        error = path + ": write error";
        close();
        return false;
    }
    return true;
}

bool wav_append_writer::write(const int16_t* samples, size_t count) {
    if (m_file == nullptr || count > (k_max_data_bytes - m_data_bytes) / 2) return false;
    uint8_t bytes[320];
    while (count > 0) {
        const size_t n = count < sizeof bytes / 2 ? count : sizeof bytes / 2;
        for (size_t i = 0; i < n; ++i) put16(bytes + 2 * i, static_cast<uint16_t>(samples[i]));
        if (std::fwrite(bytes, 1, n * 2, m_file) != n * 2) return false;
        m_data_bytes += static_cast<uint32_t>(n * 2);
        samples += n;
        count -= n;
    }
    return true;
}

bool wav_append_writer::update_header() {
    if (m_file == nullptr) return false;
    uint8_t header[k_header_bytes];
    make_header(header, m_data_bytes);
    const bool ok = std::fseek(m_file, 0, SEEK_SET) == 0 &&
                    std::fwrite(header, 1, sizeof header, m_file) == sizeof header &&
                    std::fseek(m_file, k_header_bytes + m_data_bytes, SEEK_SET) == 0 &&
                    std::fflush(m_file) == 0;
    return ok;
}

void wav_append_writer::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    m_data_bytes = 0;
}

}  // namespace voxline
