// A WAV file of 8 kHz mono 16-bit PCM that grows while it is written: the sizes in its header
// are rewritten by update_header(), so the file reads as a whole recording after each one.
// One thread at a time (the owner serialises).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace voxline {

class wav_append_writer {
  public:
    wav_append_writer() = default;
    ~wav_append_writer() { close(); }
    wav_append_writer(const wav_append_writer&) = delete;
    wav_append_writer& operator=(const wav_append_writer&) = delete;

    // create: start an empty file; else go on after the audio already in it.
    bool open(const std::string& path, bool create, std::string& error);
    // False on a write error or when the file holds all a WAV header can count; the samples are
    // then not written.
    bool write(const int16_t* samples, size_t count);
    bool update_header();
    void close();
    bool is_open() const { return m_file != nullptr; }
    uint32_t data_bytes() const { return m_data_bytes; }

  private:
    std::FILE* m_file = nullptr;
    uint32_t m_data_bytes = 0;
};

}  // namespace voxline
