#include "platform/sound/sound_player.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/sound_backend.h"
#include "platform/sound/wav_file.h"
#include "platform/sound/wave_api.h"

namespace voxline {
namespace {

struct playing_sound {
    std::vector<int16_t> samples;
    wave_header header;
    // Whoever takes the handle (the done callback or a new sound) closes the output.
    std::atomic<wave_handle> handle{0};
};

class sound_player {
  public:
    bool play(const uint8_t* image, size_t size) {
        std::lock_guard lock(m_lock);
        cut();
        auto sound = std::make_unique<playing_sound>();
        std::string error;
        if (!parse_wav(image, size, sound->samples, error)) {
            sound_log(1, "Sound not played: %s", error.c_str());
            return false;
        }
        if (sound->samples.empty()) return true;
        sound->header.data = reinterpret_cast<uint8_t*>(sound->samples.data());
        sound->header.buffer_length = static_cast<uint32_t>(sound->samples.size() * 2);
        const wave_format format;
        wave_handle handle = 0;
        int32_t result = wave_out_open(&handle, k_wave_mapper, &format, done, sound.get());
        if (result == WAVE_OK) {
            sound->handle.store(handle);
            result = wave_out_prepare(handle, &sound->header);
            if (result == WAVE_OK) result = wave_out_write(handle, &sound->header);
            if (result != WAVE_OK) wave_out_close(sound->handle.exchange(0));
        }
        if (result != WAVE_OK) {
            sound_log(1, "Sound not played: the output answered %d", result);
            return false;
        }
        m_current = std::move(sound);
        return true;
    }

    void stop() {
        std::lock_guard lock(m_lock);
        cut();
    }

  private:
    // Driver thread: the sound has played (or was cut); the output is released at once.
    static void done(wave_handle, wave_header*, void* context) {
        auto* sound = static_cast<playing_sound*>(context);
        if (const wave_handle handle = sound->handle.exchange(0)) wave_out_close(handle);
    }

    // With m_lock held.
    void cut() {
        if (!m_current) return;
        const wave_handle handle = m_current->handle.exchange(0);
        if (handle != 0 && wave_out_close(handle) != WAVE_OK) {
            // The driver did not answer and may still hold the header: its memory stays.
            sound_log(1, "Sound output did not close; its buffer is kept");
            (void)m_current.release();
        }
        m_current.reset();
    }

    std::mutex m_lock;
    std::unique_ptr<playing_sound> m_current;
};

// Never destroyed: a sound may still be playing while the process exits.
sound_player& player() {
    static auto* instance = new sound_player;
    return *instance;
}

}  // namespace

bool play_sound_async(const uint8_t* image, size_t size) {
    return player().play(image, size);
}

void stop_sound() {
    player().stop();
}

}  // namespace voxline
