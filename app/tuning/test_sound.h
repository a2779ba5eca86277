// The speaker test: one WAV file (8 kHz mono 16-bit) played over and over on
// the default sound output until stopped. GUI thread only.
#pragma once

#include <memory>
#include <string>

namespace dialdeck {

class test_sound {
  public:
    test_sound();
    ~test_sound();
    test_sound(const test_sound&) = delete;
    test_sound& operator=(const test_sound&) = delete;

    // False with a reason when the file does not read or the output does not
    // open; a sound already playing is cut first.
    bool start(const std::string& wav_file, std::string& error);
    void stop();
    bool playing() const { return m_playing != nullptr; }

    struct playing_sound;

  private:
    std::unique_ptr<playing_sound> m_playing;
};

}  // namespace dialdeck
