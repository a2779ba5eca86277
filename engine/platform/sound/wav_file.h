// 8 kHz mono 16-bit PCM WAV files, the only kind the codecs take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace voxline {

// Reads a RIFF/WAVE image. False with a message for anything but 8000 Hz,
// one channel, 16-bit linear PCM, and for malformed images.
bool parse_wav(const uint8_t* image, size_t size, std::vector<int16_t>& samples,
               std::string& error);

bool read_wav_file(const std::string& path, std::vector<int16_t>& samples, std::string& error);
bool write_wav_file(const std::string& path, const std::vector<int16_t>& samples,
                    std::string& error);

bool read_binary_file(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool write_binary_file(const std::string& path, const uint8_t* bytes, size_t size,
                       std::string& error);

}  // namespace voxline
