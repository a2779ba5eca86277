#include "test_sound.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/sound/wav_file.h"
#include "platform/sound/wave_api.h"

namespace dialdeck {

struct test_sound::playing_sound {
    std::vector<int16_t> samples;
    voxline::wave_header header;
    voxline::wave_handle handle = 0;
};

namespace {

// The header comes back only when playing is cut; nothing to do then.
void header_done(voxline::wave_handle, voxline::wave_header*, void*) {}

}  // namespace

test_sound::test_sound() = default;

test_sound::~test_sound() {
    stop();
}

bool test_sound::start(const std::string& wav_file, std::string& error) {
    stop();
    auto sound = std::make_unique<playing_sound>();
    if (!voxline::read_wav_file(wav_file, sound->samples, error)) return false;
    if (sound->samples.empty()) {
        error = wav_file + " holds no sound";
        return false;
    }
    voxline::wave_header& header = sound->header;
    header.data = reinterpret_cast<uint8_t*>(sound->samples.data());
    header.buffer_length = static_cast<uint32_t>(sound->samples.size() * sizeof(int16_t));
    // One header that is its own loop, played until it is cut.
    header.flags = voxline::WAVE_HDR_BEGINLOOP | voxline::WAVE_HDR_ENDLOOP;
    header.loops = std::numeric_limits<uint32_t>::max();
    const voxline::wave_format format;
    int32_t result = voxline::wave_out_open(&sound->handle, voxline::k_wave_mapper, &format,
                                            header_done, nullptr);
    if (result == voxline::WAVE_OK) {
        result = voxline::wave_out_prepare(sound->handle, &header);
        if (result == voxline::WAVE_OK) result = voxline::wave_out_write(sound->handle, &header);
        if (result != voxline::WAVE_OK) voxline::wave_out_close(sound->handle);
    }
    if (result != voxline::WAVE_OK) {
        error = "the sound output answered " + std::to_string(result);
        return false;
    }
    m_playing = std::move(sound);
    return true;
}

void test_sound::stop() {
    if (!m_playing) return;
    if (voxline::wave_out_close(m_playing->handle) != voxline::WAVE_OK) {
        // The driver did not answer and may still read the samples: they stay.
        (void)m_playing.release();
    }
    m_playing.reset();
}

}  // namespace dialdeck
